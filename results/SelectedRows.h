// The selected rows of the result list for one delete or replace. Their cells are
// copied once at the start; a row that fails is deselected in the list and here,
// and at the end the rows still selected leave the list together.
#pragma once

#include "search/ResultRow.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QItemSelectionModel;
class ResultModel;
class TRegistry;
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

    // Once the edit is sure to start: which rows' keys open and which rows' values
    // are there. What an earlier row of the edit takes along is then told apart
    // from what was missing from the start.
    void noteWhatIsThere(const TRegForm &form);
    // Whether row i's key (with `valueToo`, or its value) was there when the edit
    // began and is gone now: an earlier row of the edit took it along (a key above
    // it deleted or moved, the same key under another root, the other row of the
    // same value). Such a row is done, not failed.
    bool takenEarlier(const TRegForm &form, std::size_t i, bool valueToo) const;

private:
    ResultModel &m_model;
    QItemSelectionModel &m_selection;
    int m_listRows = 0;
    std::vector<int> m_positions; // list positions of the selected rows, in list order
    std::vector<ResultRow> m_rows;
    std::vector<char> m_selected;
    std::vector<char> m_keyThere, m_valueThere;
};

// The opening checks of delete and replace: an empty list only refreshes the
// counter, a list without selected rows says "Nothing selected". True: go on.
bool haveRowsToEdit(TRegForm &form, const SelectedRows &rows);

// Selects row i's root in reg with full access and opens the row's key. A key an
// earlier row took along is Taken, quietly; any other key that does not open is
// told ("not opened: " with its path) and the row deselected.
enum class RowKey
{
    Open,
    Taken,
    NotOpened
};
RowKey openRowKey(const TRegForm &form, TRegistry &reg, SelectedRows &rows, std::size_t i);

// After what row i stands for could not be changed. While the registry still takes
// changes, `message` goes into an error box and the row stays in the list. Once it
// refuses every change (its journal cannot be written, Wine started beside us), one
// box says why instead, and the rows `workLeft` names (j ≠ i) stay too: those the
// edit had still to change; returns true: the edit stops.
bool stopsAfterFailure(SelectedRows &rows, std::size_t i, const std::string &message,
                       const std::function<bool(std::size_t)> &workLeft);
