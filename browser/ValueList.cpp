// The value list: filling it with a key's values, its order, and what happens
// when it gets the focus.
#include "app/TRegForm.h"

#include "app/UnitState.h"
#include "browser/ValueListModel.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ListOrder.h"
#include "registry/text/ValueText.h"
#include "widgets/TListView.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

// Raw data of a value that is neither a text nor a DWORD, found with one lookup into a
// buffer kept for the whole fill (a key may hold a million values). Should that
// lookup fail, the value is read as ReadRaw reads it, which says why.
std::string_view readRawData(TRegistry &reg, const std::string &name, std::vector<char> &buffer,
                             std::string &fallback)
{
    TValueInfoRec info;
    if (reg.FetchValue(name, info, buffer)) return {buffer.data(), info.DataSize};
    const int size = reg.QueryValueSize(name);
    fallback.assign(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    const int count = reg.ReadRaw(name, fallback.data(), static_cast<int>(fallback.size()));
    fallback.resize(
        static_cast<std::size_t>(std::clamp(count, 0, static_cast<int>(fallback.size()))));
    return fallback;
}

// The fill's model holds a key's rows until the next fill: the rows go in one go
// at the end, and every fill starts over.
class TFill
{
public:
    explicit TFill(ValueListModel &model) : m_model(model) { m_model.beginFill(); }
    // On a read error the rows built so far, the unfinished one too, join the list unsorted.
    ~TFill()
    {
        if (m_started)
            m_model.addUnreadRow(m_started->caption, m_started->regType, m_started->defaultValue);
        m_model.endFill();
    }
    TFill(const TFill &) = delete;
    TFill &operator=(const TFill &) = delete;

    // A row whose Name and Type are set before its data is read.
    void start(std::string_view caption, DWORD regType, bool defaultValue)
    {
        m_started = Started{caption, regType, defaultValue};
    }
    void add(std::string_view caption, DWORD regType, bool defaultValue, std::string_view data)
    {
        m_started.reset();
        m_model.addRow(caption, regType, defaultValue, data);
    }

private:
    struct Started
    {
        std::string_view caption;
        DWORD regType;
        bool defaultValue;
    };
    ValueListModel &m_model;
    std::optional<Started> m_started;
};

} // namespace

void TRegForm::AttachValueListModel()
{
    m_valueList = new ValueListModel(RegLV);
    RegLV->setModel(m_valueList);
}

int TRegForm::FindValueRow(std::string_view caption, bool defaultValue) const
{
    for (int row = 0; row < m_valueList->rowCount(); ++row)
        if (m_valueList->isDefaultValue(row) == defaultValue &&
            m_valueList->caption(row) == caption)
            return row;
    return -1;
}

void TRegForm::FillValueList(const std::string &rootName, const std::string &nodePath)
{
    TRegistry reg;
    OpenWithAllAccess(reg, GetRootID(rootName), nodePath);
    std::vector<std::string> names;
    reg.ListValueNames(names);
    ++m_valueListFills;
    bool textDefault = false;
    std::vector<char> buffer;
    std::string fallback;
    {
        TFill fill(*m_valueList);
        for (const std::string &name : names) {
            TValueInfoRec info;
            reg.QueryValueInfo(name, info);
            const DWORD type = info.RegType;
            switch (info.Kind) {
            case TValueKind::vkString:
            case TValueKind::vkExpandString: {
                const bool isDefault = name.empty();
                const std::string_view caption = isDefault ? kStandardName : name;
                textDefault = textDefault || isDefault;
                fill.start(caption, type, isDefault);
                fill.add(caption, type, isDefault, reg.ReadText(name));
                break;
            }
            case TValueKind::vkInteger: {
                fill.start(name, type, false);
                const uint32_t number = reg.ReadDword(name);
                const char bytes[] = {char(number), char(number >> 8), char(number >> 16),
                                      char(number >> 24)};
                fill.add(name, type, false, {bytes, sizeof bytes});
                break;
            }
            case TValueKind::vkMultiString:
                fill.add(name, type, false, readRawData(reg, name, buffer, fallback));
                break;
            default:
                fill.start(name, type, false);
                fill.add(name, type, false, readRawData(reg, name, buffer, fallback));
                break;
            }
        }
        if (!textDefault) fill.add(kStandardName, REG_SZ, true, {});
    }
    reg.ClosePath();
    m_valueList->sort(
        [this](std::string_view a, std::string_view b) { return RegLVCompare(a, b); });
}

int TRegForm::RegLVCompare(std::string_view caption1, std::string_view caption2) const
{
    const int result = compareListText(caption1, caption2);
    return UnitState::valueListDescending ? -result : result;
}

void TRegForm::RegLVColumnClick(int column)
{
    if (column == UnitState::sortColumn)
        UnitState::valueListDescending = !UnitState::valueListDescending;
    UnitState::sortColumn = column;
    m_valueList->sort(
        [this](std::string_view a, std::string_view b) { return RegLVCompare(a, b); });
}

void TRegForm::RegLVEnter()
{
    if (RegLV->rowCount() > 0 && RegLV->currentRow() < 0) RegLV->setRowSelected(0, true);
}
