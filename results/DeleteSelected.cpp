// Deleting what the selected result rows stand for.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "results/BulkEditPreview.h"
#include "results/BulkEdits.h"
#include "results/EditCapture.h"
#include "results/ResultModel.h"
#include "results/SelectedRows.h"
#include "widgets/TReportView.h"

#include <QLabel>

#include <string>

void TRegForm::Button3Click()
{
    DeleteSelected();
}

void TRegForm::Delete1Click()
{
    DeleteSelected();
}

void TRegForm::DeleteSelected()
{
    SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (!haveRowsToEdit(*this, rows)) return;
    if (EditSafety::refusesChanges()) return;
    const DeletePreview preview = previewDelete(rows.all());
    if (!Dialogs::confirmShowing("Delete selected Keys?", preview.summary(), preview.details()))
        return;
    EditSafety safety(m_undoHistory, "delete", "unfinished delete");
    if (!safety.prepare([&rows](UndoCapture &capture) { captureDelete(capture, rows.all()); }))
        return;

    ListEditObserver observer(rows);
    const BulkEditResult result = deleteRows(rows.all(), observer);

    // An emptied default value is not counted, but a change all the same.
    safety.finish(result.changed, std::to_string(result.counted) + " items deleted");
    rows.removeStillSelected();
    lb1->setText(QString::number(result.counted) +
                 QStringLiteral(" items deleted (maybe with subkeys)"));
    RefreshCounter();
}
