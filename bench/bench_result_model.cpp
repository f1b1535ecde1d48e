// Figures for the result list model behind a tree view: rows added one at a time
// during a simulated search, a header re-sort and select-all of 200k rows.
// Prints numbers only; nothing here asserts a time.
#include "results/ResultModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTreeView>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 200000;
constexpr int kValues = 610000; // message-loop steps of the simulated walk

// Rows in walker order, shaped like hits of a common word over two roots.
std::vector<ResultRow> makeRows()
{
    static const char *const types[] = {"REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ"};
    std::vector<ResultRow> rows;
    rows.reserve(kRows);
    char buffer[160];
    for (int i = 0; i < kRows; ++i) {
        ResultRow row;
        row.root = i < kRows * 3 / 4 ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
        std::snprintf(buffer, sizeof buffer, "SOFTWARE\\Vendor%02d\\Product%02d\\Component%03d\\",
                      i / 4000 % 50, i / 100 % 40, i % 100);
        row.branch = buffer;
        switch (i % 3) {
        case 0: // key row
            break;
        case 1: // value-name row
            std::snprintf(buffer, sizeof buffer, "CommonSetting%d", (i * 7919) % 997);
            row.name = buffer;
            break;
        default: // data row
            std::snprintf(buffer, sizeof buffer, "Value%d", (i * 104729) % 4999);
            row.name = buffer;
            row.type = types[i % 7 % 3];
            std::snprintf(buffer, sizeof buffer, "C:\\Program Files\\Common\\%08x\\lib.dll",
                          unsigned(i) * 2654435761u);
            row.value = buffer;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

struct Signals
{
    int inserts = 0;
    int layouts = 0;
};

double searchRun(ResultModel &model, QItemSelectionModel &selection,
                 const std::vector<ResultRow> &rows, bool addRows)
{
    model.clear();
    QElapsedTimer timer;
    timer.start();
    std::size_t next = 0;
    long long counterSink = 0;
    for (int v = 0; v < kValues; ++v) {
        model.flushIfDue();
        QCoreApplication::processEvents();
        const std::size_t due = addRows ? std::size_t(double(v + 1) * kRows / kValues) : 0;
        while (next < due) {
            model.appendRow(rows[next++]);
            // What the counter refresh after each row reads.
            counterSink += model.totalRows() + ResultModel::selectedCount(selection);
        }
    }
    model.flush();
    QCoreApplication::processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (counterSink < 0) std::printf("?");
    return seconds;
}

// Other work on the machine skews every figure; print what it was.
void printLoad(const char *when)
{
    double load = 0;
    if (std::FILE *file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) load = -1;
        std::fclose(file);
    }
    std::printf("load average %s: %.2f\n", when, load);
}

double timed(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int sortColumn = 0;
    ResultModel model(&sortColumn);
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true); // without it select-all of 200k rows takes seconds
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setModel(&model);
    view.resize(900, 400);
    view.show();
    QItemSelectionModel &selection = *view.selectionModel();

    Signals counts;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++counts.inserts; });
    QObject::connect(&model, &QAbstractItemModel::layoutChanged, [&] { ++counts.layouts; });

    const std::vector<ResultRow> rows = makeRows();
    std::printf("rows %d, message-loop steps %d\n", kRows, kValues);
    printLoad("before");

    {
        ResultModel alone;
        std::printf("append 200k rows, no view, flush per 3k  %7.3f s\n", timed([&] {
                        for (int i = 0; i < kRows; ++i) {
                            alone.appendRow(rows[std::size_t(i)]);
                            if (i % 3000 == 0) alone.flush();
                        }
                        alone.flush();
                    }));
        long long sink = 0;
        std::printf("200k counter reads, nothing selected    %7.3f s\n", timed([&] {
                        for (int i = 0; i < kRows; ++i)
                            sink += alone.totalRows() + ResultModel::selectedCount(selection);
                    }));
        if (sink < 0) std::printf("?");
    }

    const double idle = searchRun(model, selection, rows, false);
    std::printf("search without hits (loop steps only)   %7.3f s\n", idle);
    for (int column : {0, 1, 4}) {
        sortColumn = column;
        counts = {};
        const double seconds = searchRun(model, selection, rows, true);
        std::printf("search adding %d rows, sort column %d %7.3f s  (+%.3f s over no hits; "
                    "%d inserts, %d layout changes)\n",
                    model.rowCount(), column, seconds, seconds - idle, counts.inserts,
                    counts.layouts);
    }

    {
        // The same with no view attached: what the view's updates cost above.
        int ownColumn = 0;
        ResultModel detached(&ownColumn);
        QItemSelectionModel detachedSelection(&detached);
        const double seconds = searchRun(detached, detachedSelection, rows, true);
        std::printf("search adding rows, column 0, no view   %7.3f s\n", seconds);
    }

    std::printf("header click, column 1 (sort)           %7.3f s\n",
                timed([&] { model.sortByColumn(1); }));
    std::printf("  view relayout and paint               %7.3f s\n",
                timed([&] { QCoreApplication::processEvents(); }));
    std::printf("header click, column 4 (sort + paint)   %7.3f s\n", timed([&] {
                    model.sortByColumn(4);
                    QCoreApplication::processEvents();
                }));
    std::printf("header click, same column again         %7.3f s\n",
                timed([&] { model.sortByColumn(4); }));
    std::printf("select all (select)                     %7.3f s\n",
                timed([&] { model.selectAll(selection); }));
    std::printf("  selected count %d, paint              %7.3f s\n",
                ResultModel::selectedCount(selection),
                timed([&] { QCoreApplication::processEvents(); }));
    std::printf("header click with all selected, col 2   %7.3f s\n", timed([&] {
                    model.sortByColumn(2);
                    QCoreApplication::processEvents();
                }));
    std::printf("selected rows list (200k)               %7.3f s\n",
                timed([&] { (void)model.selectedRows(selection); }));

    // Every other row selected, then a re-sort: the slow case for selection models.
    selection.clearSelection();
    std::printf("select every 2nd row (100k ranges)      %7.3f s\n", timed([&] {
                    QItemSelection every;
                    for (int r = 0; r < model.rowCount(); r += 2)
                        every.select(model.index(r, 0), model.index(r, 4));
                    selection.select(every, QItemSelectionModel::Select);
                }));
    std::printf("header click with 100k ranges, col 3    %7.3f s\n", timed([&] {
                    model.sortByColumn(3);
                    QCoreApplication::processEvents();
                }));
    std::vector<int> doomed = model.selectedRows(selection);
    std::printf("remove %zu scattered rows               %7.3f s\n", doomed.size(), timed([&] {
                    model.removeRowsAt(doomed);
                    QCoreApplication::processEvents();
                }));
    std::printf("clear                                   %7.3f s\n", timed([&] {
                    model.clear();
                    QCoreApplication::processEvents();
                }));
    printLoad("after");
    return 0;
}
