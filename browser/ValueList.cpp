// The value list: filling it with a key's values, its order, and what happens
// when it gets the focus.
#include "app/TRegForm.h"

#include "app/QtText.h"
#include "app/TListView.h"
#include "app/UnitState.h"
#include "browser/ItemText.h"
#include "registry/ListOrder.h"
#include "registry/MultiStringSplitter.h"
#include "registry/TRegistry.h"
#include "registry/ValueText.h"

#include <QList>
#include <QTreeWidgetItem>
#include <algorithm>
#include <string>
#include <vector>

namespace {

enum Cell : int
{
    kTypeCell = 1,
    kValueCell = 2,
};

std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Raw data of a binary or multi-string value, read in one call into a buffer of
// exactly its size.
std::vector<char> readRawData(TRegistry &reg, const std::string &name)
{
    std::vector<char> buffer;
    buffer.resize(ReadRawData(reg, name, buffer));
    return buffer;
}

} // namespace

std::string TRegForm::ItemName(const QTreeWidgetItem *item)
{
    return ItemText::get(item);
}

void TRegForm::FillValueList(const std::string &rootName, const std::string &nodePath)
{
    TRegistry reg;
    OpenWithAllAccess(reg, GetRootID(rootName), nodePath);
    std::vector<std::string> names;
    reg.ListValueNames(names);
    ++m_valueListFills;
    RegLV->clear();

    // Rows join the list in one go; on a read error the rows built so far, the
    // unfinished one too, join it unsorted and the error passes on.
    QList<QTreeWidgetItem *> rows;
    rows.reserve(static_cast<qsizetype>(names.size()) + 1);
    const auto newRow = [&](const std::string &caption, std::string_view type, int image) {
        auto *row = new QTreeWidgetItem;
        ItemText::set(row, caption);
        row->setText(kTypeCell, toQt(type));
        RegLV->setImageIndex(row, image);
        rows.append(row);
        return row;
    };
    bool textDefault = false;
    try {
        for (const std::string &name : names) {
            const TValueKind kind = reg.QueryValueKind(name);
            switch (kind) {
            case TValueKind::vkString:
            case TValueKind::vkExpandString: {
                QTreeWidgetItem *row = newRow(name.empty() ? std::string(kStandardName) : name,
                                              TypeText(kind), ValueImageIndex(kind));
                if (name.empty()) {
                    textDefault = true;
                    ItemText::markDefaultValue(row);
                }
                row->setText(kValueCell, toQt(StringValueText(reg.ReadText(name))));
                break;
            }
            case TValueKind::vkBinary: {
                QTreeWidgetItem *row = newRow(name, TypeText(kind), ValueImageIndex(kind));
                const std::vector<char> data = readRawData(reg, name);
                row->setText(kValueCell, toQt(BinaryText(data.data(), data.size())));
                break;
            }
            case TValueKind::vkInteger: {
                QTreeWidgetItem *row = newRow(name, TypeText(kind), ValueImageIndex(kind));
                row->setText(kValueCell, toQt(DwordText(reg.ReadDword(name))));
                break;
            }
            case TValueKind::vkMultiString: {
                const std::vector<char> data = readRawData(reg, name);
                const std::string text =
                    MultiStringText(SplitMultiString(data.data(), static_cast<int>(data.size())));
                newRow(name, TypeText(kind), ValueImageIndex(kind))
                    ->setText(kValueCell, toQt(text));
                break;
            }
            default:
                newRow(name, TypeText(TValueKind::vkUnknown), ValueImageIndex(kind))
                    ->setText(kValueCell, toQt(kNotImplemented));
                break;
            }
        }
    } catch (...) {
        RegLV->addTopLevelItems(rows);
        throw;
    }
    if (!textDefault) {
        QTreeWidgetItem *placeholder =
            newRow(std::string(kStandardName), TypeText(TValueKind::vkString),
                   ValueImageIndex(TValueKind::vkString));
        placeholder->setText(kValueCell, toQt(kValueNotSet));
        ItemText::markDefaultValue(placeholder);
    }
    reg.ClosePath();
    RegLV->addTopLevelItems(rows);
    RegLV->sortAll();
}

int TRegForm::RegLVCompare(QTreeWidgetItem *item1, QTreeWidgetItem *item2) const
{
    const QByteArray name1 = ItemText::bytes(item1), name2 = ItemText::bytes(item2);
    const int result = compareListText(bytesOf(name1), bytesOf(name2));
    return UnitState::valueListDescending ? -result : result;
}

void TRegForm::RegLVColumnClick(int column)
{
    if (column == UnitState::sortColumn)
        UnitState::valueListDescending = !UnitState::valueListDescending;
    UnitState::sortColumn = column;
    RegLV->sortAll();
}

void TRegForm::RegLVEnter()
{
    if (RegLV->topLevelItemCount() > 0 && !RegLV->currentItem())
        RegLV->topLevelItem(0)->setSelected(true);
}
