#include "results/BulkEditPreview.h"

#include "registry/api/DeleteCount.h"
#include "registry/api/KeyPath.h"
#include "registry/api/RootTable.h"
#include "registry/api/TRegistry.h"
#include "registry/text/RegistryPathText.h"
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

namespace {

// One run of the replace's checks over the rows, in its passes, on the registry
// as it stands and as the rows before each one leave it. A row in `whole` is
// refused with that reason before anything of it is tried.
std::vector<RowPreview> checkPasses(const std::vector<ResultRow> &rows, const BulkReplacePlan &plan,
                                    const std::vector<ReplacePreview> &cells,
                                    const std::vector<std::string> &whole)
{
    std::vector<RowPreview> out(rows.size());

    // Pass 1 opens every row's key as the replace does; one that does not open is
    // refused and left out of the later passes. Its data changes here.
    TRegistry reg;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows[i];
        if (!OpenWithAllAccess(reg, RootHandleByName(row.root), walkerPath(row.branch))) {
            out[i].refused = "the key does not open (gone, or it takes no changes)";
            continue;
        }
        if (!whole[i].empty() || !plan.rows[i].refusal.empty()) {
            out[i].refused = whole[i].empty() ? plan.rows[i].refusal : whole[i];
            continue;
        }
        if (cells[i].dataChanges)
            out[i].changes.push_back({PreviewChange::What::Data, row.value, cells[i].after.value});
    }

    // Pass 2: value names, in list order; the second row of a value goes with the first.
    Taken names;
    std::set<std::string> renamed; // rowValueId
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows[i];
        RowPreview &at = out[i];
        if (!at.refused.empty() || !plan.rows[i].newValueName) continue;
        if (renamed.count(rowValueId(row))) {
            at.takenAlong = true;
            continue;
        }
        const std::string &to = *plan.rows[i].newValueName;
        OpenWithAllAccess(reg, RootHandleByName(row.root), walkerPath(row.branch));
        const std::string where = asciiLower(rowKeyId(row));
        at.refused = reg.WhyNotRenameValue(row.name, to,
                                           names.exists(where, row.name, reg.HasValue(row.name)),
                                           names.exists(where, to, reg.HasValue(to)));
        if (!at.refused.empty()) continue;
        at.changes.push_back({PreviewChange::What::ValueName, row.name, to});
        names.move(where, row.name, to);
        renamed.insert(rowValueId(row));
    }

    // Pass 3: key names, deeper keys first; the other rows of a key go with the first.
    Taken keys;
    std::set<std::string> moved; // rowKeyId
    for (std::size_t i : plan.keyMoves) {
        const ResultRow &row = rows[i];
        const ReplacePlan &rowPlan = plan.rows[i];
        RowPreview &at = out[i];
        if (!at.refused.empty() || !rowPlan.newBranch) continue;
        if (moved.count(rowKeyId(row))) {
            at.takenAlong = true;
            continue;
        }
        const std::string from = fullKey(row, row.branch);
        const std::string to = fullKey(row, *rowPlan.newBranch);
        reg.SelectRoot(RootHandleByName(row.root));
        const std::string fromPath = walkerPath(row.branch),
                          toPath = walkerPath(*rowPlan.newBranch);
        at.refused =
            reg.WhyNotMoveKey(fromPath, toPath, keys.exists(row.root, from, reg.HasKey(fromPath)),
                              keys.exists(row.root, to, reg.HasKey(toPath)));
        if (!at.refused.empty()) continue;
        at.changes.push_back({PreviewChange::What::Key, from, to});
        keys.move(row.root, from, to);
        moved.insert(rowKeyId(row));
    }
    return out;
}

} // namespace

BulkReplacePreview previewBulkReplace(const std::vector<ResultRow> &rows, BulkReplacePlan &plan)
{
    const std::vector<ReplacePreview> cells = previewReplace(rows, plan);
    // A row is replaced whole or not at all: one whose later change is refused
    // keeps its earlier ones too. Without them the rows after it may fare
    // otherwise, so the checks run again until no such row is left.
    std::vector<std::string> whole(rows.size());
    std::vector<RowPreview> checked;
    for (bool again = true; again;) {
        checked = checkPasses(rows, plan, cells, whole);
        again = false;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!checked[i].refused.empty() && !checked[i].changes.empty()) {
                whole[i] = checked[i].refused;
                again = true;
            }
    }
    BulkReplacePreview preview;
    preview.rows = std::move(checked);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowPreview &row = preview.rows[i];
        preview.changes += row.changes.size();
        if (row.refused.empty()) continue;
        ++preview.refused;
        // The replace refuses it as told, before it changes anything.
        if (plan.rows[i].refusal.empty()) plan.rows[i].refusal = row.refused;
    }
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
    TRegistry reg;
    for (const auto &[folded, key] : keys) {
        if (goesAlong(folded, false)) continue;
        const RegistryPathText at = RegistryPathText::fromFull(key);
        reg.SelectRoot(at.root());
        const DeleteCount before = preview.removed;
        if (!preview.removed.addKey(reg, "\\" + at.below())) {
            preview.refuse(key + " (the key is gone)");
            continue;
        }
        preview.lines.push_back(
            "key " + key + " with " +
            counted(preview.removed.subkeys - before.subkeys, "subkey", "subkeys") + " and " +
            counted(preview.removed.keyValues - before.keyValues, "value", "values") + " in it");
    }
    std::set<std::string> values; // folded key path and value name
    for (const ResultRow &row : rows) {
        const DeleteStep step = deleteStepOf(row);
        if (step == DeleteStep::KeyTree) continue;
        if (step == DeleteStep::RootRefused) {
            preview.refuse(row.root + " (a root key is never deleted)");
            continue;
        }
        const std::string key = asciiLower(fullKey(row, row.branch));
        if (goesAlong(key, true) || !values.insert(key + '\n' + asciiLower(row.valueName())).second)
            continue;
        if (step == DeleteStep::EmptyDefault) {
            ++preview.emptied;
            preview.lines.push_back("default value of " + fullKey(row, row.branch) + " (emptied)");
        } else {
            ++preview.removed.values;
            preview.lines.push_back("value " + rowValueText(row));
        }
    }
    return preview;
}

std::string DeletePreview::summary() const
{
    std::string text = removed.text();
    if (emptied > 0) text += ", empties " + counted(emptied, "default value", "default values");
    if (refused > 0) text += "; " + counted(refused, "item is", "items are") + " refused";
    return text + '.';
}

void DeletePreview::refuse(const std::string &what)
{
    ++refused;
    refusals.push_back("refused: " + what);
    lines.push_back(refusals.back());
}

std::string DeletePreview::details() const
{
    std::string text;
    for (const std::string &line : lines)
        text += line + '\n';
    return text;
}
