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

void SelectedRows::noteWhatIsThere(const TRegForm &form)
{
    m_keyThere.assign(m_rows.size(), 0);
    m_valueThere.assign(m_rows.size(), 0);
    TRegistry reg;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const ResultRow &row = m_rows[i];
        // Opened as the edit opens it: a key that does not open then was never there for it.
        if (!OpenWithAllAccess(reg, form.GetRootID(row.root), '\\' + row.branch)) continue;
        m_keyThere[i] = 1;
        m_valueThere[i] = !row.name.empty() && reg.HasValue(row.valueName());
    }
}

bool SelectedRows::takenEarlier(const TRegForm &form, std::size_t i, bool valueToo) const
{
    if (i >= m_keyThere.size() || !m_keyThere[i]) return false;
    const ResultRow &row = m_rows[i];
    TRegistry reg;
    reg.SelectRoot(form.GetRootID(row.root));
    // Gone, not merely refused: a key that is there but does not open for a change
    // is a failure of its own.
    if (!reg.HasKey('\\' + row.branch)) return true;
    return valueToo && m_valueThere[i] && reg.OpenPath('\\' + row.branch) &&
           !reg.HasValue(row.valueName());
}

RowKey openRowKey(const TRegForm &form, TRegistry &reg, SelectedRows &rows, std::size_t i)
{
    const ResultRow &row = rows.row(i);
    if (OpenWithAllAccess(reg, form.GetRootID(row.root), '\\' + row.branch)) return RowKey::Open;
    if (rows.takenEarlier(form, i, false)) return RowKey::Taken;
    Dialogs::error("not opened: " + rowKeyText(row));
    rows.deselect(i);
    return RowKey::NotOpened;
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
