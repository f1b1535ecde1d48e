#include "results/SelectedRows.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/TRegForm.h"
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

void ListEditObserver::tell(const std::string &message)
{
    Dialogs::error(message);
}

void ListEditObserver::tellRefused() const
{
    if (m_refused.empty()) return;
    if (m_refused.size() == 1) return Dialogs::error(m_refused.front());
    Dialogs::error(
        Dialogs::listText(std::to_string(m_refused.size()) + " items were refused:", m_refused));
}

bool ListEditObserver::refusesFromNowOn()
{
    return EditSafety::refusesFromNowOn();
}
