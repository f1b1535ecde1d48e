// The selected rows of the result list for one delete or replace. Their cells are
// copied once at the start; a row that fails is deselected in the list and here,
// and at the end the rows still selected leave the list together.
#pragma once

#include "results/BulkEdits.h"
#include "search/ResultRow.h"

#include <cstddef>
#include <string>
#include <vector>

class QItemSelectionModel;
class ResultModel;
class TRegForm;

class SelectedRows
{
public:
    // Rows a running search has found but not yet shown are merged first, so the
    // operation sees every row found so far.
    SelectedRows(ResultModel &model, QItemSelectionModel &selection);

    bool listEmpty() const { return m_listRows == 0; }
    bool noneSelected() const { return m_rows.empty(); }
    std::size_t size() const { return m_rows.size(); }
    const ResultRow &row(std::size_t i) const { return m_rows[i]; }
    const std::vector<ResultRow> &all() const { return m_rows; }
    bool isSelected(std::size_t i) const { return m_selected[i] != 0; }
    void deselect(std::size_t i);

    // Removes every row still selected, from the last to the first, and leaves no
    // row selected: the others were not selected or have been deselected already.
    void removeStillSelected();

private:
    ResultModel &m_model;
    QItemSelectionModel &m_selection;
    int m_listRows = 0;
    std::vector<int> m_positions; // list positions of the selected rows, in list order
    std::vector<ResultRow> m_rows;
    std::vector<char> m_selected;
};

// The opening checks of delete and replace: an empty list only refreshes the
// counter, a list without selected rows says "Nothing selected". True: go on.
bool haveRowsToEdit(TRegForm &form, const SelectedRows &rows);

// The window's observer of a bulk edit: failures in an error box, the refusing
// registry's reason in one box (EditSafety), kept rows deselected in the list.
class ListEditObserver : public BulkEditObserver
{
public:
    explicit ListEditObserver(SelectedRows &rows) : m_rows(rows) {}
    void tell(const std::string &message) override;
    // Refused rows were listed with the question already: one box for all of them,
    // at the end (tellRefused), not one each.
    void refuse(const std::string &message) override { m_refused.push_back(message); }
    bool refusesFromNowOn() override;
    void rowKept(std::size_t i) override { m_rows.deselect(i); }
    void tellRefused() const;

private:
    SelectedRows &m_rows;
    std::vector<std::string> m_refused;
};
