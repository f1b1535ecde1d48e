#include "results/SelectedRows.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/TRegForm.h"
#include "registry/TRegistry.h"
#include "results/BulkEditRules.h"
#include "results/ResultModel.h"

#include <QItemSelectionModel>

SelectedRows::SelectedRows(ResultModel &model, QItemSelectionModel &selection)
    : m_model(model), m_selection(selection)
{
    m_model.flush();
    m_listRows = m_model.rowCount();
    m_positions = m_model.selectedRows(m_selection);
    m_rows.reserve(m_positions.size());
    for (int position : m_positions)
        m_rows.push_back(m_model.rowAt(position));
    m_selected.assign(m_rows.size(), 1);
}

void SelectedRows::deselect(std::size_t i)
{
    if (!m_selected[i]) return;
    m_selected[i] = 0;
    m_model.deselectRow(m_selection, m_positions[i]);
}

void SelectedRows::removeStillSelected()
{
    std::vector<int> doomed;
    doomed.reserve(m_positions.size());
    for (std::size_t i = 0; i < m_positions.size(); ++i)
        if (m_selected[i]) doomed.push_back(m_positions[i]);
    // Cleared first: the selection model then has nothing to carry through the
    // removal, which would cost a pass over its ranges for every removed run.
    m_selection.clearSelection();
    m_model.removeRowsAt(std::move(doomed));
}

bool openRowKey(const TRegForm &form, TRegistry &reg, const ResultRow &row)
{
    if (OpenWithAllAccess(reg, form.GetRootID(row.root), '\\' + row.branch)) return true;
    Dialogs::error("not opened: " + rowKeyText(row));
    return false;
}

bool haveRowsToEdit(TRegForm &form, const SelectedRows &rows)
{
    if (rows.listEmpty()) {
        form.RefreshCounter();
        return false;
    }
    if (rows.noneSelected()) {
        Dialogs::information("Nothing selected");
        return false;
    }
    return true;
}

bool stopsAfterFailure(SelectedRows &rows, std::size_t i, const std::string &message,
                       const std::function<bool(std::size_t)> &workLeft)
{
    rows.deselect(i);
    if (!EditSafety::refusesFromNowOn()) {
        Dialogs::error(message);
        return false;
    }
    for (std::size_t j = 0; j < rows.size(); ++j)
        if (j != i && workLeft(j)) rows.deselect(j);
    return true;
}
