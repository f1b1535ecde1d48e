// Deleting what the selected result rows stand for.
#include "app/TRegForm.h"

#include "BulkEditRules.h"
#include "EditCapture.h"
#include "ResultModel.h"
#include "SelectedRows.h"
#include "TRegistry.h"
#include "TReportView.h"
#include "app/Dialogs.h"
#include "app/EditSafety.h"

#include <QLabel>

#include <string>
#include <unordered_set>

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

    int deleted = 0;
    bool emptied = false; // a default value; not counted, but a change all the same
    std::unordered_set<std::string> deletedKeys; // Root and Branch of keys gone in this pass
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow &row = rows.row(i);
        // The rows of a key deleted above went with it: they leave the list quietly.
        if (deletedKeys.count(rowKeyId(row))) continue;
        TRegistry reg;
        if (!openRowKey(*this, reg, row)) {
            rows.deselect(i);
            continue;
        }
        if (!row.name.empty()) {
            if (row.defaultValue) {
                // The default value is emptied, not deleted.
                reg.WriteText(std::string(), std::string());
                emptied = true;
            } else if (reg.RemoveValue(row.name)) {
                ++deleted;
            } else {
                Dialogs::error("not deleted: " + rowValueText(row));
                rows.deselect(i);
            }
        } else if (!row.branch.empty() && reg.DeleteTree('\\' + row.branch)) {
            ++deleted;
            deletedKeys.insert(rowKeyId(row));
        } else {
            // An empty Branch is the root key itself, which is never deleted or emptied.
            Dialogs::error("not deleted: " + rowKeyText(row));
            rows.deselect(i);
        }
        reg.ClosePath();
    }

    safety.finish(deleted > 0 || emptied, std::to_string(deleted) + " items deleted");
    rows.removeStillSelected();
    lb1->setText(QString::number(deleted) + QStringLiteral(" items deleted (maybe with subkeys)"));
    RefreshCounter();
}
