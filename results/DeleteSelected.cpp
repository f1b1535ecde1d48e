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
    // The rows of a key deleted above went with it: they leave the list quietly.
    const auto wentWithItsKey = [&](const ResultRow &row) {
        return deletedKeys.count(rowKeyId(row)) > 0;
    };
    bool stopped = false;
    const auto notDeleted = [&](std::size_t i, const std::string &path) {
        stopped = stopsAfterFailure(rows, i, "not deleted: " + path, [&](std::size_t j) {
            return j > i && !wentWithItsKey(rows.row(j));
        });
    };
    for (std::size_t i = 0; i < rows.size() && !stopped; ++i) {
        const ResultRow &row = rows.row(i);
        if (wentWithItsKey(row)) continue;
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
                notDeleted(i, rowValueText(row));
            }
        } else if (!row.branch.empty() && reg.DeleteTree('\\' + row.branch)) {
            ++deleted;
            deletedKeys.insert(rowKeyId(row));
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
