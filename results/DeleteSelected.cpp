// Deleting what the selected result rows stand for.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/TReportView.h"
#include "registry/TRegistry.h"
#include "results/BulkEditRules.h"
#include "results/EditCapture.h"
#include "results/ResultModel.h"
#include "results/SelectedRows.h"

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
    if (!Dialogs::confirm("Delete selected Keys?")) return;
    EditSafety safety(m_undoHistory, "delete", "unfinished delete");
    if (!safety.prepare([&rows](UndoCapture &capture) {
            for (std::size_t i = 0; i < rows.size(); ++i)
                captureDeleteOf(capture, rows.row(i));
        }))
        return;

    rows.noteWhatIsThere(*this);

    int deleted = 0;
    bool emptied = false; // a default value; not counted, but a change all the same
    bool stopped = false;
    // Stopped there, the later rows keep their work unless an earlier row took
    // what they stand for along.
    const auto notDeleted = [&](std::size_t i, const std::string &path) {
        stopped = stopsAfterFailure(rows, i, "not deleted: " + path, [&](std::size_t j) {
            return j > i && !rows.takenEarlier(*this, j, true);
        });
    };
    for (std::size_t i = 0; i < rows.size() && !stopped; ++i) {
        const ResultRow &row = rows.row(i);
        TRegistry reg;
        // A row whose key went with an earlier row is done: it leaves the list
        // quietly, uncounted.
        if (openRowKey(*this, reg, rows, i) != RowKey::Open) continue;
        if (!row.name.empty()) {
            if (row.defaultValue) {
                // The default value is emptied, not deleted.
                reg.WriteText(std::string(), std::string());
                emptied = true;
            } else if (reg.RemoveValue(row.name)) {
                ++deleted;
            } else if (!rows.takenEarlier(*this, i, true)) {
                notDeleted(i, rowValueText(row));
            }
        } else if (!row.branch.empty() && reg.DeleteTree('\\' + row.branch)) {
            ++deleted;
        } else {
            // An empty Branch is the root key itself, which is never deleted or emptied.
            notDeleted(i, rowKeyText(row));
        }
        reg.ClosePath();
    }

    safety.finish(deleted > 0 || emptied, std::to_string(deleted) + " items deleted");
    rows.removeStillSelected();
    lb1->setText(QString::number(deleted) + QStringLiteral(" items deleted (maybe with subkeys)"));
    RefreshCounter();
}
