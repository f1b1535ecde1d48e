#include "browser/ValueListModel.h"

#include "registry/api/MultiStringSplitter.h"
#include "registry/text/ValueText.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"

#include <algorithm>

namespace {

enum Column : int
{
    kNameColumn = 0,
    kTypeColumn = 1,
    kValueColumn = 2,
    kColumnCount = 3,
};

// Data up to this size is shown from scratch on every request; longer data's
// text is kept, as long as the kept texts stay below kLongTextsLimit characters.
constexpr std::size_t kShortData = 4096;
constexpr std::size_t kLongTextsLimit = 64u << 20;

} // namespace

ValueListModel::ValueListModel(QObject *parent) : QAbstractTableModel(parent) {}

int ValueListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_filling ? 0 : static_cast<int>(m_order.size());
}

int ValueListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ValueListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Packed &row = packed(index.row());
    if (role == TListView::ImageRole) {
        if (index.column() != kNameColumn) return {};
        return ValueImageIndex(row.regType);
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case kNameColumn: return toQt({m_texts.data() + row.text, row.captionSize});
    case kTypeColumn: return toQt(TypeText(row.regType));
    case kValueColumn: return shownValue(row);
    default: return {};
    }
}

QVariant ValueListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case kNameColumn: return QStringLiteral("Name");
    case kTypeColumn: return QStringLiteral("Type");
    case kValueColumn: return QStringLiteral("Value");
    default: return {};
    }
}

Qt::ItemFlags ValueListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void ValueListModel::beginFill()
{
    beginResetModel();
    m_filling = true;
    m_texts.clear();
    m_texts.shrink_to_fit();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_order.clear();
    m_order.shrink_to_fit();
    m_longTexts.clear();
    m_longTextsSize = 0;
}

void ValueListModel::endFill()
{
    if (!m_filling) return;
    m_order.resize(m_rows.size());
    for (std::size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = static_cast<RowId>(i);
    m_filling = false;
    endResetModel();
}

void ValueListModel::clear()
{
    beginFill();
    endFill();
}

int ValueListModel::addPendingRow(std::string_view caption, DWORD regType, std::string_view data)
{
    const int row = static_cast<int>(m_order.size());
    beginInsertRows({}, row, row);
    append(caption, regType, 0, data);
    m_order.push_back(static_cast<RowId>(m_rows.size() - 1));
    endInsertRows();
    return row;
}

void ValueListModel::addRow(std::string_view caption, DWORD regType, bool defaultValue,
                            std::string_view data)
{
    append(caption, regType, defaultValue ? kDefaultValue : 0, data);
}

void ValueListModel::addUnreadRow(std::string_view caption, DWORD regType, bool defaultValue)
{
    append(caption, regType, std::uint8_t((defaultValue ? kDefaultValue : 0) | kUnread), {});
}

void ValueListModel::append(std::string_view caption, DWORD regType, std::uint8_t flags,
                            std::string_view data)
{
    Packed row;
    row.text = m_texts.size();
    row.captionSize = static_cast<std::uint32_t>(caption.size());
    row.dataSize = static_cast<std::uint32_t>(data.size());
    row.regType = regType;
    row.flags = flags;
    m_texts.append(caption);
    m_texts.append(data);
    m_rows.push_back(row);
}

void ValueListModel::sort(const Compare &compare)
{
    if (m_order.size() < 2) return;
    emit layoutAboutToBeChanged({}, VerticalSortHint);
    std::vector<RowId> order = m_order;
    std::stable_sort(order.begin(), order.end(), [&](RowId a, RowId b) {
        const Packed &first = m_rows[a], &second = m_rows[b];
        return compare({m_texts.data() + first.text, first.captionSize},
                       {m_texts.data() + second.text, second.captionSize}) < 0;
    });
    // Selection and the focused row are persistent indexes: they move with their rows.
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        std::vector<int> newRowOf(m_rows.size());
        for (std::size_t row = 0; row < order.size(); ++row)
            newRowOf[order[row]] = static_cast<int>(row);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex &index : before)
            after.append(this->index(newRowOf[m_order[std::size_t(index.row())]], index.column()));
        changePersistentIndexList(before, after);
    }
    m_order = std::move(order);
    emit layoutChanged({}, VerticalSortHint);
}

void ValueListModel::removeRow(RowId id)
{
    const auto at = std::find(m_order.begin(), m_order.end(), id);
    if (at == m_order.end()) return;
    const int row = static_cast<int>(at - m_order.begin());
    beginRemoveRows({}, row, row);
    m_order.erase(at);
    if (m_longTexts.contains(id)) {
        m_longTextsSize -= std::size_t(m_longTexts.value(id).size());
        m_longTexts.remove(id);
    }
    endRemoveRows();
}

std::string_view ValueListModel::caption(int row) const
{
    const Packed &entry = packed(row);
    return {m_texts.data() + entry.text, entry.captionSize};
}

bool ValueListModel::isDefaultValue(int row) const
{
    return packed(row).flags & kDefaultValue;
}

std::string ValueListModel::valueText(int row) const
{
    return fromQt(shownValue(packed(row)));
}

std::string_view ValueListModel::dataOf(const Packed &row) const
{
    return {m_texts.data() + row.text + row.captionSize, row.dataSize};
}

QString ValueListModel::shownValue(const Packed &row) const
{
    if (row.flags & kUnread) return {};
    const RowId id = static_cast<RowId>(&row - m_rows.data());
    const bool keep = row.dataSize > kShortData;
    if (keep) {
        const auto kept = m_longTexts.constFind(id);
        if (kept != m_longTexts.cend()) return *kept;
    }
    const std::string_view data = dataOf(row);
    std::string text;
    switch (row.regType) {
    case REG_SZ:
    case REG_EXPAND_SZ: text = StringValueText(std::string(data)); break;
    case REG_MULTI_SZ:
        text = MultiStringText(SplitMultiString(data.data(), static_cast<int>(data.size())));
        break;
    default: text = OtherValueText(row.regType, data); break;
    }
    QString shown = toQt(text);
    if (keep) {
        if (m_longTextsSize + std::size_t(shown.size()) > kLongTextsLimit) {
            m_longTexts.clear();
            m_longTextsSize = 0;
        }
        m_longTextsSize += std::size_t(shown.size());
        m_longTexts.insert(id, shown);
    }
    return shown;
}
