#include "results/BulkEditPreview.h"

#include "registry/KeyPath.h"
#include "registry/RegistryPathText.h"
#include "registry/RootTable.h"
#include "registry/TRegistry.h"
#include "search/Matching.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

namespace {

std::string fullKey(const ResultRow &row, const std::string &branch)
{
    return RegistryPathText(row.root, branch).full();
}

std::string walkerPath(const std::string &branch)
{
    return KeyPath::fromBranch(branch).walkerPath();
}

std::string counted(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Names and paths as the registry tells them apart, near enough for what one
// replace renames: letter case does not count.
using Folded = std::set<std::string>;

// What earlier rows of the replace made and vacated, per key (value names) or per
// root (key paths): the registry as it will be when a row's turn comes.
struct Taken
{
    std::map<std::string, Folded> made, vacated;

    bool exists(const std::string &where, const std::string &name, bool thereNow)
    {
        const std::string f = asciiLower(name);
        return made[where].count(f) || (thereNow && !vacated[where].count(f));
    }
    void move(const std::string &where, const std::string &from, const std::string &to)
    {
        made[where].erase(asciiLower(from));
        vacated[where].insert(asciiLower(from));
        made[where].insert(asciiLower(to));
    }
};

} // namespace

BulkReplacePreview previewBulkReplace(const std::vector<ResultRow> &rows,
                                      const BulkReplacePlan &plan)
{
    BulkReplacePreview preview;
    preview.rows.resize(rows.size());
    const std::vector<ReplacePreview> cells = previewReplace(rows, plan);
    const auto refuse = [&](std::size_t i, std::string why) {
        preview.rows[i].refused = std::move(why);
        ++preview.refused;
    };

    // Pass 1 opens every row's key as the replace does; one that does not open is
    // refused and left out of the later passes. Its data changes here.
    TRegistry reg;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows[i];
        if (!OpenWithAllAccess(reg, RootHandleByName(row.root), walkerPath(row.branch))) {
            refuse(i, "the key does not open (gone, or it takes no changes)");
            continue;
        }
        if (!plan.rows[i].refusal.empty()) {
            refuse(i, plan.rows[i].refusal);
            continue;
        }
        if (plan.rows[i].rewritesData && cells[i].after.value != row.value)
            preview.rows[i].changes.push_back(
                {PreviewChange::What::Data, row.value, cells[i].after.value});
    }

    // Pass 2: value names, in list order; the second row of a value goes with the first.
    Taken names;
    std::set<std::string> renamed; // rowValueId
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows[i];
        RowPreview &out = preview.rows[i];
        if (!out.refused.empty() || !plan.rows[i].newValueName) continue;
        if (renamed.count(rowValueId(row))) {
            out.takenAlong = true;
            continue;
        }
        const std::string &to = *plan.rows[i].newValueName;
        if (to == row.name) continue;
        OpenWithAllAccess(reg, RootHandleByName(row.root), walkerPath(row.branch));
        const std::string where = asciiLower(rowKeyId(row));
        if (!names.exists(where, row.name, reg.HasValue(row.name)))
            refuse(i, "the value is gone");
        else if (names.exists(where, to, reg.HasValue(to)))
            refuse(i, "its key holds a value named \"" + to + "\" already");
        else {
            out.changes.push_back({PreviewChange::What::ValueName, row.name, to});
            names.move(where, row.name, to);
            renamed.insert(rowValueId(row));
        }
    }

    // Pass 3: key names, deeper keys first; the other rows of a key go with the first.
    Taken keys;
    std::set<std::string> moved; // rowKeyId
    for (std::size_t i : plan.keyMoves) {
        const ResultRow &row = rows[i];
        const ReplacePlan &rowPlan = plan.rows[i];
        RowPreview &out = preview.rows[i];
        if (!out.refused.empty() || !rowPlan.keyNameHit) continue;
        if (moved.count(rowKeyId(row))) {
            out.takenAlong = true;
            continue;
        }
        if (!rowPlan.newBranch) {
            refuse(i, "nothing would be left of the key's name");
            continue;
        }
        if (*rowPlan.newBranch == row.branch) continue;
        const std::string from = fullKey(row, row.branch);
        const std::string to = fullKey(row, *rowPlan.newBranch);
        reg.SelectRoot(RootHandleByName(row.root));
        if (keys.exists(row.root, to, reg.HasKey(walkerPath(*rowPlan.newBranch)))) {
            refuse(i, "the key " + to + " exists already");
            continue;
        }
        out.changes.push_back({PreviewChange::What::Key, from, to});
        keys.move(row.root, from, to);
        moved.insert(rowKeyId(row));
    }

    for (const RowPreview &row : preview.rows)
        preview.changes += row.changes.size();
    return preview;
}

std::string BulkReplacePreview::summary() const
{
    std::size_t changedRows = 0;
    for (const RowPreview &row : rows)
        changedRows += !row.changes.empty();
    std::string text =
        counted(changes, "change", "changes") + " in " + counted(changedRows, "item", "items");
    if (refused > 0) text += ", " + counted(refused, "item", "items") + " refused";
    return text + '.';
}

std::string BulkReplacePreview::details(const std::vector<ResultRow> &listed) const
{
    std::string text;
    for (std::size_t i = 0; i < rows.size() && i < listed.size(); ++i) {
        const ResultRow &row = listed[i];
        for (const PreviewChange &change : rows[i].changes) {
            switch (change.what) {
            case PreviewChange::What::Data:
                text += "data of " + rowValueText(row) + ": \"" + change.before +
                        "\" \xE2\x86\x92 \"" + change.after + "\"\n";
                break;
            case PreviewChange::What::ValueName:
                text += "value " + rowKeyText(row) + change.before + " \xE2\x86\x92 " +
                        change.after + "\n";
                break;
            case PreviewChange::What::Key:
                text += "key " + change.before + " \xE2\x86\x92 " + change.after + "\n";
                break;
            }
        }
        if (!rows[i].refused.empty())
            text += "refused: " + (row.name.empty() ? rowKeyText(row) : rowValueText(row)) + ": " +
                    rows[i].refused + "\n";
    }
    return text;
}

DeletePreview previewDelete(const std::vector<ResultRow> &rows)
{
    DeletePreview preview;
    // Keys first, so that what lies below one of them is known to go with it.
    std::vector<std::pair<std::string, std::string>> keys; // folded, as written
    for (const ResultRow &row : rows)
        if (deleteStepOf(row) == DeleteStep::KeyTree) {
            const std::string key = fullKey(row, row.branch);
            keys.emplace_back(asciiLower(key), key);
        }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end(),
                           [](const auto &a, const auto &b) { return a.first == b.first; }),
               keys.end());
    const auto goesAlong = [&](const std::string &folded, bool itself) {
        for (const auto &key : keys) {
            if (itself && key.first == folded) return true;
            if (folded.size() > key.first.size() &&
                folded.compare(0, key.first.size(), key.first) == 0 &&
                folded[key.first.size()] == '\\')
                return true;
        }
        return false;
    };
    for (const auto &key : keys)
        if (!goesAlong(key.first, false)) {
            ++preview.keys;
            preview.lines.push_back("key " + key.second + " (with everything below it)");
        }
    std::set<std::string> values; // folded key path and value name
    for (const ResultRow &row : rows) {
        const DeleteStep step = deleteStepOf(row);
        if (step == DeleteStep::KeyTree) continue;
        if (step == DeleteStep::RootRefused) {
            ++preview.refused;
            preview.lines.push_back("refused: " + row.root + " (a root key is never deleted)");
            continue;
        }
        const std::string key = asciiLower(fullKey(row, row.branch));
        if (goesAlong(key, true) || !values.insert(key + '\n' + asciiLower(row.valueName())).second)
            continue;
        if (step == DeleteStep::EmptyDefault) {
            ++preview.emptied;
            preview.lines.push_back("default value of " + fullKey(row, row.branch) + " (emptied)");
        } else {
            ++preview.values;
            preview.lines.push_back("value " + rowValueText(row));
        }
    }
    return preview;
}

std::string DeletePreview::summary() const
{
    std::string text =
        "Removes " + counted(keys, "key", "keys") +
        (keys == 1 ? " (with everything below it) and " : " (with everything below them) and ") +
        counted(values, "value", "values");
    if (emptied > 0) text += ", empties " + counted(emptied, "default value", "default values");
    if (refused > 0)
        text += "; " + counted(refused, "root key is", "root keys are") + " never deleted";
    return text + '.';
}

std::string DeletePreview::details() const
{
    std::string text;
    for (const std::string &line : lines)
        text += line + '\n';
    return text;
}
