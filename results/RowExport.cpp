#include "results/RowExport.h"

#include "registry/UndoCapture.h"

void captureExportOf(UndoCapture &capture, const ResultRow &row)
{
    if (row.kind() == ResultRowKind::Key)
        capture.captureKey(row.root, row.branch);
    else
        capture.captureValue(row.root, row.branch, row.valueName());
}
