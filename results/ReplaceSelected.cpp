// Replacing the search text in what the selected result rows stand for: the
// window asks, keeps the safety net and drives the bulk replace (results/BulkEdits).
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/UnitState.h"
#include "results/BulkEditPreview.h"
#include "results/BulkEditRules.h"
#include "results/BulkEdits.h"
#include "results/EditCapture.h"
#include "results/ResultModel.h"
#include "results/SelectedRows.h"
#include "search/Matching.h"
#include "widgets/QtText.h"
#include "widgets/TReportView.h"

#include <QLabel>
#include <QLineEdit>

#include <string>

void TRegForm::Button4Click()
{
    ReplaceSelected();
}

void TRegForm::Replace1Click()
{
    ReplaceSelected();
}

void TRegForm::ReplaceSelected()
{
    SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (!haveRowsToEdit(*this, rows)) return;
    if (EditSafety::refusesChanges()) return;
    const std::string searchTyped = fromQt(Edit1->text());
    const std::string replacementTyped = fromQt(Edit2->text());
    SearchOptions options;
    if (!ReplaceOptions(replacementTyped, options)) return;
    // The plan comes from the rows' cells, its refusals from the preview's checks:
    // what the question shows is what OK applies.
    BulkReplacePlan plan = planBulkReplace(rows.all(), searchTyped, replacementTyped, options);
    const BulkReplacePreview preview = previewBulkReplace(rows.all(), plan);
    if (!Dialogs::confirmShowing(replaceQuestion(searchTyped, replacementTyped), preview.summary(),
                                 preview.details(rows.all())))
        return;
    UnitState::searchText = asciiLower(searchTyped);
    UnitState::replaceText = replacementTyped;
    if (UnitState::replaceText.empty() && !Dialogs::confirm("Replace with EMPTY String?")) {
        Edit2->setFocus();
        return;
    }
    EditSafety safety(m_undoHistory, "replace", "unfinished replace");
    if (!safety.prepare([&](UndoCapture &capture) { captureReplace(capture, rows.all(), plan); }))
        return;

    ListEditObserver observer(rows);
    const BulkEditResult result = replaceInRows(rows.all(), plan, observer);
    observer.tellRefused();

    safety.finish(result.changed, std::to_string(result.counted) + " items replaced");
    rows.removeStillSelected();
    lb1->setText(QString::number(result.counted) + QStringLiteral(" items replaced"));
    RefreshCounter();
}
