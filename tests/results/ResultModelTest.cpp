#include "results/ResultModel.h"
#include "registry/text/ListOrder.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Rows = std::vector<ResultRow>;

QStringList g_testerFailures;

void collectFailures(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("FAIL"))) g_testerFailures << message;
}

// Every test runs with the model tester attached; its complaints fail the test.
class ResultModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_testerFailures.clear();
        m_previousHandler = qInstallMessageHandler(collectFailures);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousHandler);
        EXPECT_TRUE(g_testerFailures.isEmpty()) << g_testerFailures.join('\n').toStdString();
    }

    int m_sortColumn = 0;
    ResultModel m_model{&m_sortColumn};
    QAbstractItemModelTester m_tester{&m_model,
                                      QAbstractItemModelTester::FailureReportingMode::Warning};
    QItemSelectionModel m_selection{&m_model};
    std::mt19937 m_random{42};

private:
    QtMessageHandler m_previousHandler = nullptr;
};

// Few distinct texts, differing in ASCII case too, so that ties are common.
ResultRow randomRow(std::mt19937 &random, int id)
{
    static const char *const roots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "hkey_users"};
    static const char *const branches[] = {"", "Software\\", "software\\Classes\\", "SYSTEM\\a\\"};
    static const char *const types[] = {"", "REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ"};
    ResultRow row;
    row.root = roots[random() % 3];
    row.branch = branches[random() % 4];
    row.name = random() % 3 ? "n" + std::to_string(random() % 4) : "";
    row.type = row.name.empty() ? "" : types[random() % 4];
    row.value = row.type.empty() ? "" : "v" + std::to_string(random() % 5);
    // A unique suffix tells rows with equal sort keys apart.
    row.name += row.name.empty() ? "" : "#" + std::to_string(id);
    return row;
}

// Adding rows one at a time, each placed after its equals, re-sorting when the
// column changed: the order the model must reproduce.
struct ReferenceList
{
    Rows rows;
    int sortedBy = 0;

    static auto lessBy(int column)
    {
        return [column](const ResultRow &a, const ResultRow &b) {
            return listTextLess(a.cell(column), b.cell(column));
        };
    }
    void sortBy(int column)
    {
        std::stable_sort(rows.begin(), rows.end(), lessBy(column));
        sortedBy = column;
    }
    void append(const ResultRow &row, int column)
    {
        if (column != sortedBy) sortBy(column);
        rows.insert(std::upper_bound(rows.begin(), rows.end(), row, lessBy(column)), row);
    }
};

Rows contents(ResultModel &model)
{
    Rows rows;
    for (int r = 0; r < model.totalRows(); ++r)
        rows.push_back(model.rowAt(r));
    return rows;
}

Rows selectedContents(ResultModel &model, const QItemSelectionModel &selection)
{
    Rows rows;
    for (int r : model.selectedRows(selection))
        rows.push_back(model.rowAt(r));
    std::sort(rows.begin(), rows.end(), [](const ResultRow &a, const ResultRow &b) {
        return std::tie(a.root, a.branch, a.name, a.type, a.value) <
               std::tie(b.root, b.branch, b.name, b.type, b.value);
    });
    return rows;
}

} // namespace

TEST_F(ResultModelTest, AddedRowsTakeTheirPlacesStably)
{
    // Flushing after every row, and rarely, take the two merge paths.
    for (int interval : {0, 1000000}) {
        m_model.clear();
        m_model.setFlushInterval(interval);
        ReferenceList reference;
        for (int i = 0; i < 600; ++i) {
            if (i == 200) m_sortColumn = 1; // the value list's header changed the shared column
            if (i == 400) m_sortColumn = 4;
            const ResultRow row = randomRow(m_random, i);
            reference.append(row, m_sortColumn);
            m_model.appendRow(row);
            if (m_random() % 50 == 0) m_model.flush();
        }
        EXPECT_EQ(m_model.totalRows(), 600);
        EXPECT_EQ(contents(m_model), reference.rows) << "interval " << interval;
        EXPECT_EQ(m_model.rowCount(), 600);
    }
}

TEST_F(ResultModelTest, HeaderClickSortsEverythingAndNeverReverses)
{
    ReferenceList reference;
    for (int i = 0; i < 300; ++i) {
        const ResultRow row = randomRow(m_random, i);
        reference.append(row, 0);
        m_model.appendRow(row);
    }
    for (int column : {3, 3, 2, 0, 4}) {
        m_model.sortByColumn(column);
        reference.sortBy(column);
        EXPECT_EQ(m_sortColumn, column);
        EXPECT_EQ(contents(m_model), reference.rows) << "column " << column;
    }
    m_model.sort(1, Qt::DescendingOrder); // a view's header click: still ascending
    reference.sortBy(1);
    EXPECT_EQ(contents(m_model), reference.rows);
}

TEST_F(ResultModelTest, OnlyAnAddedRowPicksUpAColumnChange)
{
    for (int i = 0; i < 50; ++i)
        m_model.appendRow(randomRow(m_random, i));
    const Rows before = contents(m_model);
    m_sortColumn = 2;
    m_model.flush();
    EXPECT_EQ(contents(m_model), before);

    m_model.removeRowsAt({0});
    ReferenceList reference{Rows(before.begin() + 1, before.end()), 0};
    EXPECT_EQ(contents(m_model), reference.rows);

    const ResultRow row = randomRow(m_random, 99);
    reference.append(row, 2);
    m_model.appendRow(row);
    EXPECT_EQ(contents(m_model), reference.rows);

    m_sortColumn = 7; // out of range reads as Root, and a header cannot set it
    EXPECT_EQ(m_model.sortColumn(), 0);
    m_model.sortByColumn(5);
    EXPECT_EQ(m_sortColumn, 7);
}

TEST_F(ResultModelTest, SelectionSurvivesInsertionsSortsAndRemovals)
{
    m_model.setFlushInterval(1000000);
    for (int i = 0; i < 200; ++i)
        m_model.appendRow(randomRow(m_random, i));
    m_model.flush();
    for (int r : {3, 10, 11, 12, 13, 40, 199})
        m_selection.select(m_model.index(r, 0),
                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const Rows selected = selectedContents(m_model, m_selection);
    ASSERT_EQ(selected.size(), 7u);

    for (int i = 200; i < 500; ++i)
        m_model.appendRow(randomRow(m_random, i));
    EXPECT_EQ(ResultModel::selectedCount(m_selection), 7);
    EXPECT_EQ(selectedContents(m_model, m_selection), selected);
    EXPECT_EQ(m_model.rowCount(), 500);

    m_model.sortByColumn(2);
    EXPECT_EQ(selectedContents(m_model, m_selection), selected);

    std::vector<int> unselected;
    const std::vector<int> rows = m_model.selectedRows(m_selection);
    for (int r = 0; r < m_model.rowCount(); r += 3)
        if (!std::binary_search(rows.begin(), rows.end(), r)) unselected.push_back(r);
    const Rows before = contents(m_model);
    m_model.removeRowsAt(unselected);
    EXPECT_EQ(m_model.rowCount(), int(before.size() - unselected.size()));
    EXPECT_EQ(selectedContents(m_model, m_selection), selected);
}

TEST_F(ResultModelTest, RemovalKeepsOrderAndIgnoresBadPositions)
{
    for (int i = 0; i < 100; ++i)
        m_model.appendRow(randomRow(m_random, i));
    Rows expected = contents(m_model);
    const std::vector<int> doomed = {99, 0, 5, 6, 7, 5, 50, -1, 100, 98};
    m_model.removeRowsAt(doomed);
    for (int r : {99, 98, 50, 7, 6, 5, 0})
        expected.erase(expected.begin() + r);
    EXPECT_EQ(contents(m_model), expected);

    // Many separate runs take another way; the order must be the same.
    std::vector<int> everyOther;
    for (int r = int(expected.size()) - 1; r >= 0; r -= 2) {
        everyOther.push_back(r);
        expected.erase(expected.begin() + r);
    }
    m_model.removeRowsAt(everyOther);
    EXPECT_EQ(contents(m_model), expected);

    m_model.removeRowsAt({});
    std::vector<int> all(std::size_t(m_model.rowCount()));
    std::iota(all.begin(), all.end(), 0);
    m_model.removeRowsAt(all);
    EXPECT_EQ(m_model.rowCount(), 0);
}

TEST_F(ResultModelTest, WaitingRowsCountButDoNotShiftPositions)
{
    m_model.setFlushInterval(1000000);
    m_model.appendRow({"HKEY_USERS", "z\\", "", "", ""}); // the first row shows at once
    m_model.appendRow({"HKEY_CURRENT_USER", "a\\", "", "", ""});
    EXPECT_EQ(m_model.rowCount(), 1);
    EXPECT_EQ(m_model.totalRows(), 2);
    m_model.removeRowsAt({0}); // the position the caller saw
    EXPECT_EQ(m_model.totalRows(), 1);
    EXPECT_EQ(m_model.cell(0, kColBranch), "a\\");
}

TEST_F(ResultModelTest, SelectAllCoversWaitingRows)
{
    m_model.setFlushInterval(1000000);
    for (int i = 0; i < 30; ++i)
        m_model.appendRow(randomRow(m_random, i));
    EXPECT_LT(m_model.rowCount(), 30);
    m_model.selectAll(m_selection);
    EXPECT_EQ(m_model.rowCount(), 30);
    EXPECT_EQ(ResultModel::selectedCount(m_selection), 30);
    EXPECT_EQ(m_model.selectedRows(m_selection).size(), 30u);

    m_model.deselectRow(m_selection, 4);
    m_model.appendRow(randomRow(m_random, 30));
    m_model.flush();
    EXPECT_EQ(ResultModel::selectedCount(m_selection), 29); // new rows arrive unselected

    m_model.clear();
    EXPECT_EQ(m_model.totalRows(), 0);
    EXPECT_EQ(ResultModel::selectedCount(m_selection), 0);
}

TEST_F(ResultModelTest, RowsLandingBelowTheShownOnesWaitLongerThanRowsAboveThem)
{
    ReferenceList reference;
    const auto add = [&](int i) {
        const ResultRow row{"r" + std::to_string(100 + i), "", "", "", ""};
        reference.append(row, 0);
        // Due at once, unless no view would show the rows (the stretch by the last
        // merge's cost undone too).
        m_model.setFlushInterval(0);
        m_model.appendRow(row);
    };
    for (int i = 0; i < 40; i += 2)
        add(i);
    m_model.flush();
    m_model.setLastShownRow(9); // r118

    add(30); // below the view: waits
    add(18); // after its equal, still below
    EXPECT_EQ(m_model.rowCount(), 20);
    EXPECT_EQ(m_model.totalRows(), 22);
    add(3); // in view: merged, with the others
    EXPECT_EQ(m_model.rowCount(), 23);

    add(31);
    EXPECT_EQ(m_model.rowCount(), 23);
    m_model.setLastShownRow(22); // the view grew down to where the row lands
    m_model.setFlushInterval(0);
    m_model.flushIfDue();
    EXPECT_EQ(m_model.rowCount(), 24);

    m_model.setLastShownRow(3);
    add(33);
    EXPECT_EQ(m_model.rowCount(), 24);
    m_model.setLastShownRow(-1); // nothing at the view's bottom: merged at the interval
    m_model.setFlushInterval(0);
    m_model.flushIfDue();
    EXPECT_EQ(m_model.rowCount(), 25);

    m_model.setLastShownRow(3);
    add(35);
    EXPECT_EQ(m_model.rowCount(), 25);
    QTest::qWait(300); // the scroll bar still follows, a few times a second
    m_model.setFlushInterval(0);
    m_model.flushIfDue();
    EXPECT_EQ(m_model.rowCount(), 26);
    EXPECT_EQ(contents(m_model), reference.rows);
}
