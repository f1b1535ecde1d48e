#include "results/EditCapture.h"

#include "registry/undo/UndoCapture.h"
#include "results/BulkEdits.h"

void captureDeleteOf(UndoCapture &capture, const ResultRow &row)
{
    switch (deleteStepOf(row)) {
    case DeleteStep::KeyTree:
    case DeleteStep::RootRefused: capture.captureKey(row.root, row.branch); break;
    case DeleteStep::Value:
    case DeleteStep::EmptyDefault:
        capture.captureValue(row.root, row.branch, row.valueName());
        break;
    }
}

void captureReplaceOf(UndoCapture &capture, const ResultRow &row, const ReplacePlan &plan)
{
    // Recorded for every named row, whatever its plan: more than the replace needs
    // costs nothing, less would be data the user cannot get back.
    if (!row.name.empty()) capture.captureValue(row.root, row.branch, row.valueName());
    if (plan.newValueName) capture.captureNewValueName(row.root, row.branch, *plan.newValueName);
    if (plan.newBranch) {
        capture.captureKey(row.root, row.branch);
        capture.captureNewKeyPath(row.root, *plan.newBranch);
    }
}

void captureDelete(UndoCapture &capture, const std::vector<ResultRow> &rows)
{
    for (const ResultRow &row : rows)
        captureDeleteOf(capture, row);
}

void captureReplace(UndoCapture &capture, const std::vector<ResultRow> &rows,
                    const BulkReplacePlan &plan)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        captureReplaceOf(capture, rows[i], plan.rows[i]);
}
