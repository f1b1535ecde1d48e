// The bulk delete and the bulk replace over a list of result rows, free of Qt and
// of the window: what a row stands for, what is tried in which order, which rows
// are done, which were taken along by an earlier row, and where a registry that
// refuses every change stops the edit. The window and the command line both drive
// them; confirming, the safety net (backup, undo file) and the messages stay with
// each face. The edits work on the process's registry through TRegistry.
#pragma once

#include "results/BulkEditRules.h"
#include "search/ResultRow.h"
#include "search/SearchOptions.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What deleting one row does.
enum class DeleteStep
{
    KeyTree,      // a key row: the key with everything below it
    Value,        // a value-name or data row: the value
    EmptyDefault, // a row of the default value: emptied, never deleted
    RootRefused,  // a key row of a root key (empty Branch): never deleted or emptied
};
DeleteStep deleteStepOf(const ResultRow &row);

class Matcher;

// A replace, decided from the rows' cells alone before anything changes; the undo
// record is made from the same plan.
struct BulkReplacePlan
{
    std::shared_ptr<const Matcher> matcher; // the search text under the run's options
    std::string replacement;
    std::vector<ReplacePlan> rows; // one per row
    // Pass 3 visits the rows in this order (keyMoveOrder).
    std::vector<std::size_t> keyMoves;
};
// With options, what the search matched is replaced (the first match; with a
// pattern, \1-style groups in the new text) in the places it looked at; number and
// binary rows are refused (ReplacePlan::refusal).
BulkReplacePlan planBulkReplace(const std::vector<ResultRow> &rows, std::string_view searchTyped,
                                std::string_view replacement, const SearchOptions &options = {});

// A row's cells before and after a replace, for a dry run: Branch and Name from
// the plan, Value from the value's stored data as it is now, replaced the way the
// edit replaces it (the cell as the search shows the new data). Cells the replace
// leaves alone are equal; all of them in a row the plan refuses.
struct ReplacePreview
{
    ResultRow before;
    ResultRow after;
    bool dataChanges = false; // the value's stored text changes (the replace writes it)
};
std::vector<ReplacePreview> previewReplace(const std::vector<ResultRow> &rows,
                                           const BulkReplacePlan &plan);

// What the edit did with one row.
struct BulkRowOutcome
{
    enum class State
    {
        Done,   // its change made (counted unless emptied), or nothing to change
        Taken,  // an earlier row took its key or value along: done, not counted
        Failed, // its change was refused, or its key did not open: `why`
        Left,   // the edit stopped before this row's work was done
    };
    State state = State::Done;
    int counted = 0;      // changes counted for the summary (a replace may make three)
    bool emptied = false; // delete: the default value was emptied (a change, not counted)
    std::string why;      // Failed: "not opened: ...", "not deleted: ...", "not replaced: ..."

    // Done and Taken rows leave the result list; the others stay.
    bool staysListed() const { return state == State::Failed || state == State::Left; }
};

struct BulkEditResult
{
    std::vector<BulkRowOutcome> rows; // one per row, in the rows' order
    int counted = 0;                  // "N items deleted" / "N items replaced"
    bool changed = false;             // anything changed, emptied default values too
    bool stopped = false;             // the registry refused every change from some row on
};

// What an edit tells its driver while it runs, at the moment it happens (the window
// shows its boxes and deselects rows then).
class BulkEditObserver
{
public:
    virtual ~BulkEditObserver() = default;
    // A failure to tell the user: "not opened: ...", "not deleted: ...", "not replaced: ...".
    virtual void tell(const std::string & /*message*/) {}
    // A row not for this edit (a replace of a number row), known before any change.
    virtual void refuse(const std::string &message) { tell(message); }
    // After a change was refused: true when the registry refuses every change from
    // now on (the driver says why); the edit then stops, keeping the rows with work left.
    virtual bool refusesFromNowOn() { return false; }
    // Row i stays in the list (failed, or left by the stop).
    virtual void rowKept(std::size_t /*i*/) {}
};

// Deletes what each row stands for, in list order (deleteStepOf).
BulkEditResult deleteRows(const std::vector<ResultRow> &rows, BulkEditObserver &observer);

// Replaces in what each row stands for: pass 1 string data (every row, so that a
// key that does not open is told once), pass 2 value names (the second row of a
// value renamed already is done), pass 3 key names in plan.keyMoves order (the
// other rows of a key moved are done). A row with a refusal in the plan is
// refused in pass 1, before anything of it changes (previewBulkReplace sets those
// the checks refuse); a rename or move refused later all the same (the registry
// changed since) fails with the registry's reason.
BulkEditResult replaceInRows(const std::vector<ResultRow> &rows, const BulkReplacePlan &plan,
                             BulkEditObserver &observer);
