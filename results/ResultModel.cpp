#include "results/ResultModel.h"

#include "registry/text/ListOrder.h"

#include "widgets/QtText.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <utility>

namespace {

// How long rows that no view would show yet may wait to be merged: the scroll bar
// still follows the list's growth several times a second.
constexpr qint64 kUnshownFlushNs = 250'000'000;

// Up to this many separate runs of removed rows are removed one by one.
constexpr std::size_t kFewRuns = 8;

// Selected rows as sorted, disjoint [top, bottom] intervals.
std::vector<std::pair<int, int>> selectedIntervals(const QItemSelectionModel &selection)
{
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange &range : selection.selection())
        if (range.isValid()) spans.emplace_back(range.top(), range.bottom());
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto &span : spans) {
        if (!merged.empty() && span.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    return merged;
}

} // namespace

ResultModel::ResultModel(int *sortColumn, QObject *parent)
    : QAbstractTableModel(parent), m_sortColumn(sortColumn ? sortColumn : &m_ownSortColumn)
{
    m_sortedBy = this->sortColumn();
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kResultColumnCount;
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    return toQt(m_rows.cell(m_order[std::size_t(index.row())], index.column()));
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kResultColumnCount)
        return {};
    return QString::fromLatin1(kResultHeaders[std::size_t(section)]);
}

Qt::ItemFlags ResultModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void ResultModel::sort(int column, Qt::SortOrder)
{
    sortByColumn(column);
}

int ResultModel::sortColumn() const
{
    const int column = *m_sortColumn;
    return (column >= 0 && column < kResultColumnCount) ? column : kColRoot;
}

void ResultModel::appendRow(const ResultRowView &row)
{
    const int column = sortColumn();
    if (column != m_sortedBy && !m_busy) {
        // Rows that came before the change take their places by the old column.
        mergePending();
        resort(column);
    }
    m_pending.push_back(m_rows.add(row));
    if (!m_pendingShown) m_pendingShown = shownIfMerged(m_pending.back());
    flushIfDue();
}

void ResultModel::flushIfDue()
{
    if (m_pending.empty() || m_busy) return;
    if (m_sinceFlush.isValid()) {
        const qint64 since = m_sinceFlush.nsecsElapsed();
        if (since < m_nextFlushNs) return;
        if (!m_pendingShown && since < std::max(m_nextFlushNs, kUnshownFlushNs)) return;
    }
    mergePending();
}

void ResultModel::setLastShownRow(int row)
{
    if (row == m_lastShownRow) return;
    m_lastShownRow = row;
    m_pendingShown = false;
    for (std::size_t k = 0; k < m_pending.size() && !m_pendingShown; ++k)
        m_pendingShown = shownIfMerged(m_pending[k]);
}

bool ResultModel::shownIfMerged(std::uint32_t slot) const
{
    // Equal merged rows stay in front of an added row, so it lands above the last
    // shown row only when it sorts before it. A column change re-sorts first.
    if (m_lastShownRow < 0 || std::size_t(m_lastShownRow) >= m_order.size() ||
        sortColumn() != m_sortedBy)
        return true;
    return listTextLess(m_rows.cell(slot, m_sortedBy),
                        m_rows.cell(m_order[std::size_t(m_lastShownRow)], m_sortedBy));
}

void ResultModel::setFlushInterval(int milliseconds)
{
    m_flushIntervalNs = qint64(milliseconds) * 1'000'000;
    m_nextFlushNs = m_flushIntervalNs;
}

void ResultModel::flush()
{
    mergePending();
}

void ResultModel::sortByColumn(int column)
{
    if (column < 0 || column >= kResultColumnCount) return;
    *m_sortColumn = column;
    if (m_busy) return; // the next appended row re-sorts
    mergePending();
    resort(column);
}

void ResultModel::clear()
{
    if (m_busy) return;
    beginResetModel();
    m_rows.clear();
    std::vector<std::uint32_t>().swap(m_order);
    std::vector<std::uint32_t>().swap(m_pending);
    m_pendingShown = false;
    m_sortedBy = sortColumn();
    endResetModel();
}

void ResultModel::removeRowsAt(std::vector<int> rows)
{
    // Positions refer to merged rows: waiting rows are not merged here, so positions
    // the caller read before stay valid.
    if (m_busy) return;
    const int count = int(m_order.size());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [count](int r) { return r < 0 || r >= count; }),
        rows.end());
    if (rows.empty()) return;

    std::vector<std::pair<int, int>> runs; // ascending [first, last]
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r)
            runs.back().second = r;
        else
            runs.emplace_back(r, r);
    }

    QScopedValueRollback busy(m_busy, true);
    if (runs.size() > kFewRuns) {
        // Each removal signal costs views and selection models time in proportion to
        // their persistent indexes, so many runs are first gathered at the end by one
        // layout change and then removed at once.
        std::vector<std::uint32_t> order;
        order.reserve(m_order.size());
        std::vector<int> newRowOf(m_order.size());
        const int kept = count - int(rows.size());
        int nextKept = 0, nextDoomed = kept;
        std::size_t d = 0;
        for (int r = 0; r < count; ++r) {
            const bool doomed = d < rows.size() && rows[d] == r;
            d += doomed;
            newRowOf[std::size_t(r)] = doomed ? nextDoomed++ : nextKept++;
        }
        order.resize(m_order.size());
        for (int r = 0; r < count; ++r)
            order[std::size_t(newRowOf[std::size_t(r)])] = m_order[std::size_t(r)];
        applyOrder(std::move(order), newRowOf);
        runs.assign(1, {kept, count - 1});
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        for (int r = run->first; r <= run->second; ++r)
            m_rows.remove(m_order[std::size_t(r)]);
        m_order.erase(m_order.begin() + run->first, m_order.begin() + run->second + 1);
        endRemoveRows();
    }
    m_pendingShown = !m_pending.empty();
    m_rows.compact();
}

ResultRow ResultModel::rowAt(int row)
{
    mergePending();
    return m_rows.row(m_order[std::size_t(row)]);
}

std::string_view ResultModel::cell(int row, int column)
{
    mergePending();
    return m_rows.cell(m_order[std::size_t(row)], column);
}

void ResultModel::selectAll(QItemSelectionModel &selection)
{
    mergePending();
    if (m_order.empty()) return;
    // One range for all rows: cheap to build, and selection models keep it as one
    // range through later re-sorts.
    const QItemSelection all(index(0, 0), index(int(m_order.size()) - 1, kResultColumnCount - 1));
    selection.select(all, QItemSelectionModel::ClearAndSelect);
}

void ResultModel::deselectRow(QItemSelectionModel &selection, int row)
{
    if (row < 0 || row >= rowCount()) return;
    selection.select(QItemSelection(index(row, 0), index(row, kResultColumnCount - 1)),
                     QItemSelectionModel::Deselect);
}

std::vector<int> ResultModel::selectedRows(const QItemSelectionModel &selection)
{
    mergePending();
    std::vector<int> rows;
    for (const auto &[top, bottom] : selectedIntervals(selection))
        for (int r = top; r <= bottom; ++r)
            rows.push_back(r);
    return rows;
}

int ResultModel::selectedCount(const QItemSelectionModel &selection)
{
    int count = 0;
    for (const auto &[top, bottom] : selectedIntervals(selection))
        count += bottom - top + 1;
    return count;
}

void ResultModel::mergePending()
{
    if (m_pending.empty() || m_busy) return;
    QScopedValueRollback busy(m_busy, true);
    QElapsedTimer cost;
    cost.start();
    const int column = m_sortedBy;
    // Each row's text is looked up once, in a loop of its own: looked up in every
    // comparison, merging rows into a 200k-row list by Value held the window
    // for over 100 ms.
    struct Keyed
    {
        std::string_view key;
        std::uint32_t slot;
    };
    std::vector<Keyed> added(m_pending.size());
    for (std::size_t k = 0; k < added.size(); ++k)
        added[k] = {m_rows.cell(m_pending[k], column), m_pending[k]};
    // Stable, and equal merged rows win in the merge: the same order as placing
    // each row by binary search after its equals, one at a time.
    std::stable_sort(added.begin(), added.end(),
                     [](const Keyed &a, const Keyed &b) { return listTextLess(a.key, b.key); });
    const auto landing = [&](std::string_view key) {
        const auto after = std::upper_bound(
            m_order.begin(), m_order.end(), key, [&](std::string_view text, std::uint32_t slot) {
                return listTextLess(text, m_rows.cell(slot, column));
            });
        return int(after - m_order.begin());
    };
    const int oldCount = int(m_order.size());
    const int addedCount = int(added.size());
    const int firstPlace = landing(added.front().key);
    const bool together = firstPlace == landing(added.back().key);
    const int insertAt = together ? firstPlace : oldCount;

    beginInsertRows({}, insertAt, insertAt + addedCount - 1);
    m_order.insert(m_order.begin() + insertAt, std::size_t(addedCount), 0);
    for (int k = 0; k < addedCount; ++k)
        m_order[std::size_t(insertAt + k)] = added[std::size_t(k)].slot;
    m_pending.clear();
    m_pendingShown = false;
    endInsertRows();

    if (!together) {
        // Scattered rows: shown at the end first, then moved into place by one layout
        // change, which carries selections and the current row along.
        std::vector<std::string_view> oldKeys(static_cast<std::size_t>(oldCount));
        for (std::size_t r = 0; r < oldKeys.size(); ++r)
            oldKeys[r] = m_rows.cell(m_order[r], column);
        std::vector<std::uint32_t> merged;
        merged.reserve(m_order.size());
        std::vector<int> newRowOf(m_order.size());
        std::size_t i = 0, j = std::size_t(oldCount);
        const std::size_t end = m_order.size();
        while (i < std::size_t(oldCount) || j < end) {
            const bool takeNew =
                j < end && (i == std::size_t(oldCount) ||
                            listTextLess(added[j - std::size_t(oldCount)].key, oldKeys[i]));
            const std::size_t from = takeNew ? j++ : i++;
            newRowOf[from] = int(merged.size());
            merged.push_back(m_order[from]);
        }
        applyOrder(std::move(merged), newRowOf);
    }
    m_nextFlushNs = std::max(m_flushIntervalNs, 10 * cost.nsecsElapsed());
    m_sinceFlush.start();
}

void ResultModel::resort(int column)
{
    if (m_busy) return;
    m_sortedBy = column;
    const std::size_t count = m_order.size();
    if (count < 2) return;
    QScopedValueRollback busy(m_busy, true);
    std::vector<std::string_view> keys(count);
    for (std::size_t r = 0; r < count; ++r)
        keys[r] = m_rows.cell(m_order[r], column);
    if (std::is_sorted(keys.begin(), keys.end(), listTextLess)) return;
    std::vector<std::uint32_t> byKey(count);
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::stable_sort(byKey.begin(), byKey.end(), [&keys](std::uint32_t a, std::uint32_t b) {
        return listTextLess(keys[a], keys[b]);
    });
    std::vector<std::uint32_t> sorted(count);
    std::vector<int> newRowOf(count);
    for (std::size_t r = 0; r < count; ++r) {
        sorted[r] = m_order[byKey[r]];
        newRowOf[byKey[r]] = int(r);
    }
    applyOrder(std::move(sorted), newRowOf);
}

void ResultModel::applyOrder(std::vector<std::uint32_t> &&order, const std::vector<int> &newRowOf)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after.push_back(index(newRowOf[std::size_t(old.row())], old.column()));
    m_order = std::move(order);
    // The rows moved: whether waiting ones would be shown is not known any more.
    m_pendingShown = !m_pending.empty();
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
