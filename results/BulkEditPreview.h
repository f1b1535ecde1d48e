// What a bulk delete or replace is about to do, told with its question before
// anything changes: counts for the box and the list behind "Show Details...".
// Reads the registry as it is now, changes nothing; free of Qt.
#pragma once

#include "registry/api/DeleteCount.h"
#include "results/BulkEdits.h"
#include "search/ResultRow.h"

#include <cstddef>
#include <string>
#include <vector>

// One change a replace makes for a row.
struct PreviewChange
{
    enum class What
    {
        Data,      // the value's string data
        ValueName, // the value's name
        Key,       // the key's name: it moves with everything below it
    };
    What what = What::Data;
    std::string before, after; // data cells, value names or full key paths
};

// A row of the replace: its changes, or why the replace refuses it, or neither
// (nothing to change, or an earlier row takes its change along).
struct RowPreview
{
    std::vector<PreviewChange> changes;
    std::string refused; // "" unless refused
    bool takenAlong = false;
};

struct BulkReplacePreview
{
    std::vector<RowPreview> rows; // one per row, in the rows' order
    std::size_t changes = 0;
    std::size_t refused = 0;

    // "5 changes in 4 items, 1 item refused"
    std::string summary() const;
    // One line per change and per refusal, in the rows' order.
    std::string details(const std::vector<ResultRow> &rows) const;
};

// Follows the passes of replaceInRows with the same plan and the registry's own
// checks of a rename and a move (TRegistry::WhyNotRenameValue, WhyNotMoveKey),
// judged on the registry as the rows before each one will leave it: a key that
// does not open, a rename onto a name its key holds already (or that an earlier
// row takes), a move onto a key that exists (or that an earlier move makes)...
// are refused, each with its reason. A row is refused whole: none of its changes
// is made. Sets ReplacePlan::refusal of every row refused, so that the replace
// with this plan refuses exactly these rows, before it changes anything.
BulkReplacePreview previewBulkReplace(const std::vector<ResultRow> &rows, BulkReplacePlan &plan);

// What a delete of these rows removes: keys with everything below them (a key
// below another one of the rows counted once, with it; what lies below each
// counted in the registry), values outside those keys, default values emptied,
// and what it refuses (root keys, keys that are gone).
struct DeletePreview
{
    DeleteCount removed;
    std::size_t emptied = 0;
    std::size_t refused = 0;
    std::vector<std::string> lines;    // "key ...", "value ...", one per item counted or refused
    std::vector<std::string> refusals; // the "refused: ..." lines alone

    // "Removes 2 keys with 3 subkeys and 10 values in them, and 1 other value."
    std::string summary() const;
    std::string details() const;
    void refuse(const std::string &what);
};
DeletePreview previewDelete(const std::vector<ResultRow> &rows);
