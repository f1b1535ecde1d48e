// What deleting or replacing one result row may change, recorded for the edit's
// undo file before the edit starts. Free of Qt, so it can be tested alone.
#pragma once

#include "results/BulkEditRules.h"
#include "search/ResultRow.h"

#include <vector>

class UndoCapture;

// A key row: the key with everything below it. Any other row: its value (the
// default value when the row stands for it, which a delete empties).
void captureDeleteOf(UndoCapture &capture, const ResultRow &row);

// The row's value (its data may be rewritten or its name changed); the new
// value name and, for a key the plan moves, the new key path and the old key in full.
void captureReplaceOf(UndoCapture &capture, const ResultRow &row, const ReplacePlan &plan);

// What a whole bulk edit may change, row by row as above: the undo file of a delete
// or a replace, from the window or the command line.
struct BulkReplacePlan;
void captureDelete(UndoCapture &capture, const std::vector<ResultRow> &rows);
void captureReplace(UndoCapture &capture, const std::vector<ResultRow> &rows,
                    const BulkReplacePlan &plan);
