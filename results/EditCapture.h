// What deleting or replacing one result row may change, recorded for the edit's
// undo file before the edit starts. Free of Qt, so it can be tested alone.
#pragma once

#include "results/BulkEditRules.h"
#include "results/ResultRow.h"

class UndoCapture;

// A key row: the key with everything below it. Any other row: its value (the
// default value when the row stands for it, which a delete empties).
void captureDeleteOf(UndoCapture &capture, const ResultRow &row);

// The row's value (its data may be rewritten or its name changed); the new
// value name and, for a key the plan moves, the new key path and the old key in full.
void captureReplaceOf(UndoCapture &capture, const ResultRow &row, const ReplacePlan &plan);
