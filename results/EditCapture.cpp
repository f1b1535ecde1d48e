#include "results/EditCapture.h"

#include "registry/UndoCapture.h"

void captureDeleteOf(UndoCapture &capture, const ResultRow &row)
{
    if (row.name.empty())
        capture.captureKey(row.root, row.branch);
    else
        capture.captureValue(row.root, row.branch, row.valueName());
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
