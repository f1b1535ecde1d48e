// What a bulk delete or replace is about to do, told with its question before
// anything changes: counts for the box and the list behind "Show Details...".
// Reads the registry as it is now, changes nothing; free of Qt.
#pragma once

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

// Follows the passes of replaceInRows with the same plan: a key that does not
// open, a rename onto a name its key holds already (or that an earlier row takes),
// a move onto a key that exists (or that an earlier move makes), and a key name
// that would be left empty are refused, as the replace then refuses them.
BulkReplacePreview previewBulkReplace(const std::vector<ResultRow> &rows,
                                      const BulkReplacePlan &plan);

// What a delete of these rows removes: keys with everything below them (a key
// below another one of the rows counted once, with it), values outside those keys,
// default values emptied, and root keys it refuses.
struct DeletePreview
{
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t emptied = 0;
    std::size_t refused = 0;
    std::vector<std::string> lines; // "key ...", "value ...", one per item counted

    // "Removes 2 keys (with everything below them) and 3 values."
    std::string summary() const;
    std::string details() const;
};
DeletePreview previewDelete(const std::vector<ResultRow> &rows);
