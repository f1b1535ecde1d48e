// The rows of the result list, kept sorted by the window's shared sort column.
//
// A search appends up to hundreds of thousands of rows, one at a time, with the
// message loop running in between. Appended rows wait in a small buffer and are
// merged into the sorted rows in one go (stable, so rows that compare equal keep
// their arrival order), at most once per flush interval or whenever someone reads
// rows through the accessors below. The Qt model interface (rowCount, data) shows
// only merged rows and never merges by itself, so views are not disturbed in the
// middle of their own work.
#pragma once

#include "results/ResultRowStore.h"
#include "search/ResultRow.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>

#include <cstdint>
#include <string_view>
#include <vector>

class QItemSelectionModel;

class ResultModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // sortColumn points to the window's shared sort column, which the value list's
    // header also writes; it must outlive the model. nullptr: the model keeps its own.
    explicit ResultModel(int *sortColumn = nullptr, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // A header click when the view sorts through the model: always ascending.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Adds a complete row. When the shared sort column changed since the rows were
    // last sorted, everything is re-sorted by it first.
    void appendRow(const ResultRowView &row);
    // Merges waiting rows if the flush interval has passed; cheap when nothing waits.
    // The interval stretches to ten times the cost of the last merge, so that merging
    // a long list never takes more than a small share of a search. Waiting rows that
    // would all land below the last row a view shows (setLastShownRow) change only
    // its scroll bar, yet each merge repaints the whole view: they wait longer.
    void flushIfDue();
    // The last row the view shows, or -1 when it shows no row at its bottom edge
    // (or is unknown): then rows are merged at the flush interval, wherever they land.
    void setLastShownRow(int row);
    // Merges waiting rows now.
    void flush();
    void setFlushInterval(int milliseconds);

    // Header click: sets the shared sort column and sorts every row by it (stable).
    void sortByColumn(int column);
    // The shared sort column as the model reads it (0 when out of range).
    int sortColumn() const;

    void clear();
    // Removes the rows at these positions (any order, duplicates and positions out
    // of range ignored), from the last to the first. Never re-sorts.
    void removeRowsAt(std::vector<int> rows);

    // Every row found so far, waiting ones included; merges nothing.
    int totalRows() const { return int(m_order.size() + m_pending.size()); }
    // Row and cell access by list position; both merge waiting rows first. A cell
    // stays valid until rows are removed or the list is cleared.
    ResultRow rowAt(int row);
    std::string_view cell(int row, int column);

    // Selection helpers for the view's selection model (rows are whole rows).
    void selectAll(QItemSelectionModel &selection);
    void deselectRow(QItemSelectionModel &selection, int row);
    // Selected rows in list order; merges waiting rows first.
    std::vector<int> selectedRows(const QItemSelectionModel &selection);
    // Number of selected rows; waiting rows are never selected, so nothing is merged.
    static int selectedCount(const QItemSelectionModel &selection);

private:
    void mergePending();
    void resort(int column);
    void applyOrder(std::vector<std::uint32_t> &&order, const std::vector<int> &newRowOf);

    ResultRowStore m_rows;
    std::vector<std::uint32_t> m_order;   // merged rows in list order
    std::vector<std::uint32_t> m_pending; // appended, not merged yet, in arrival order
    int m_ownSortColumn = 0;
    int *m_sortColumn = nullptr;
    int m_sortedBy = 0; // column the merged rows are sorted by
    // Whether a waiting row would land at or above the last shown row.
    bool shownIfMerged(std::uint32_t slot) const;

    qint64 m_flushIntervalNs = 75'000'000;
    int m_lastShownRow = -1;
    bool m_pendingShown = false;              // some waiting row is shownIfMerged
    qint64 m_nextFlushNs = m_flushIntervalNs; // the interval, stretched by the last merge
    QElapsedTimer m_sinceFlush;
    bool m_busy = false; // while signals of a merge or removal go out
};
