// One hit of a search: the five text cells the result list shows, and whether the
// row stands for a key's default value. Operations find the registry item again
// from these alone. The walker yields them, the result list and the bulk edits
// keep them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

enum ResultColumn : int
{
    kColRoot = 0,
    kColBranch = 1,
    kColName = 2,
    kColType = 3,
    kColValue = 4,
    kResultColumnCount = 5,
};

// The columns' headers: the result list's, its exports' and the command line's.
inline constexpr std::array<const char *, kResultColumnCount> kResultHeaders{
    "Root", "Branch", "Name", "Type", "Value"};

enum class ResultRowKind
{
    Key,
    ValueName,
    Data
};

// A row's texts as views, for adding a row without first copying its texts into strings.
struct ResultRowView
{
    std::string_view root, branch, name, type, value;
    bool defaultValue = false;
};

struct ResultRow
{
    std::string root;   // root name as in the root table, e.g. HKEY_LOCAL_MACHINE
    std::string branch; // key path below the root with a trailing "\", empty for the root
    std::string name;   // value name, "(Standard)" for the default value, empty on key rows
    std::string type;   // REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ on data rows, else empty
    std::string value;  // data text on data rows; key and value-name rows leave it empty
    // The row stands for the key's unnamed default value. Its Name cell reads "(Standard)",
    // which a value may also really be called; only this tells the two apart.
    bool defaultValue = false;

    // Column 0..4; any other index reads as the Root cell.
    const std::string &cell(int column) const
    {
        switch (column) {
        case kColBranch: return branch;
        case kColName: return name;
        case kColType: return type;
        case kColValue: return value;
        default: return root;
        }
    }

    // The registry name of the value a value-name or data row stands for.
    std::string valueName() const { return defaultValue ? std::string() : name; }

    ResultRowKind kind() const
    {
        if (name.empty()) return ResultRowKind::Key;
        return type.empty() ? ResultRowKind::ValueName : ResultRowKind::Data;
    }

    operator ResultRowView() const { return {root, branch, name, type, value, defaultValue}; }

    bool operator==(const ResultRow &) const = default;
};

// The five cells in column order.
inline std::vector<std::string_view> cellsOf(const ResultRowView &row)
{
    return {row.root, row.branch, row.name, row.type, row.value};
}
