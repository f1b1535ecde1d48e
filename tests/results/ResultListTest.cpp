// The result list's own behaviour in the real window: counter and buttons, header
// clicks, keys, the modifier flag, the pop-up menu and the row comparison.
#include "tests/search/SearchFixture.h"

#include "app/UnitState.h"
#include "widgets/TListView.h"
#include "widgets/TPanel.h"
#include "widgets/TTreeView.h"

#include <QHeaderView>
#include <QMenu>

using namespace std::string_literals;

namespace {

class ResultListTest : public SearchFixture
{
protected:
    // Rows of every kind under HKEY_LOCAL_MACHINE\K for the search text "k".
    void fillAndSearch()
    {
        setText(HKEY_LOCAL_MACHINE, "K", "b", "k sz");
        setValue(HKEY_LOCAL_MACHINE, "K", "a", REG_EXPAND_SZ, "k exp\0"s);
        setValue(HKEY_LOCAL_MACHINE, "K", "c", REG_MULTI_SZ, "k\0m\0\0"s);
        setText(HKEY_LOCAL_MACHINE, "K", "kname", "x");
        search("k");
    }

    std::vector<std::string> column(int c) const
    {
        std::vector<std::string> out;
        for (const ResultRow &row : rows())
            out.push_back(row.cell(c));
        return out;
    }

    void clickHeader(int section)
    {
        QHeaderView *header = form->FoundLV->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, 5));
    }
};

TEST_F(ResultListTest, CounterAndButtonsFollowTheList)
{
    EXPECT_EQ(text(form->lb6), "0 found");
    fillAndSearch();
    EXPECT_EQ(text(form->lb6), "5 selected / 5 found");

    const auto selected = [&] { return form->FoundLV->selectionModel()->selectedRows().size(); };
    const QRect second = form->FoundLV->visualRect(form->FoundLV->model()->index(1, 0));
    QTest::mouseClick(form->FoundLV->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(text(form->lb6), "1 selected / 5 found");

    // Ctrl+A and the menu select every row but leave the counter as it was.
    form->FoundLV->setFocus();
    QTest::keyClick(form->FoundLV, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selected(), 5);
    EXPECT_EQ(text(form->lb6), "1 selected / 5 found");
    QTest::mouseClick(form->FoundLV->viewport(), Qt::LeftButton, {}, second.center());
    form->SelectAll1->trigger();
    EXPECT_EQ(selected(), 5);
    EXPECT_EQ(text(form->lb6), "1 selected / 5 found");
    form->RefreshCounter();
    EXPECT_EQ(text(form->lb6), "5 selected / 5 found");

    form->ClearList1->trigger();
    EXPECT_EQ(text(form->lb6), "0 selected / 0 found");
    EXPECT_FALSE(form->Button3->isEnabled());
    EXPECT_FALSE(form->Button4->isEnabled());
    EXPECT_TRUE(rows().empty());
}

TEST_F(ResultListTest, HeaderClicksSortAscendingOnlyAndTheColumnIsShared)
{
    fillAndSearch();
    clickHeader(3);
    EXPECT_EQ(UnitState::sortColumn, 3);
    EXPECT_EQ(column(3),
              (std::vector<std::string>{"", "", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_SZ"}));
    clickHeader(4);
    clickHeader(4); // no toggle
    EXPECT_EQ(column(4), (std::vector<std::string>{"", "", "k exp", "k m ", "k sz"}));
    EXPECT_EQ(text(form->lb6), "5 selected / 5 found"); // sorting keeps the selection

    // The value list's header writes the same column: the next run sorts by it.
    UnitState::sortColumn = 2;
    search("k");
    EXPECT_EQ(column(2), (std::vector<std::string>{"", "a", "b", "c", "kname"}));
}

TEST_F(ResultListTest, CompareUsesTheSharedColumnAndMissingCellsAreEmpty)
{
    UnitState::sortColumn = 4;
    EXPECT_LT(form->FoundLVCompare({"r", "b", "n"}, {"r", "b", "n", "REG_SZ", "x"}), 0);
    UnitState::sortColumn = 1;
    EXPECT_EQ(form->FoundLVCompare({"r", "abc"}, {"q", "ABC"}), 0);
}

TEST_F(ResultListTest, ModifierFlagIsSetByShiftOrCtrlAndClearedByAnyKeyUp)
{
    fillAndSearch();
    form->FoundLV->setFocus();
    QTest::keyPress(form->FoundLV, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(UnitState::modifierFlag);
    QTest::keyPress(form->FoundLV, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyRelease(form->FoundLV, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_FALSE(UnitState::modifierFlag); // cleared though Shift is still held
    QTest::keyPress(form->FoundLV, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_FALSE(UnitState::modifierFlag);
    QTest::keyPress(form->FoundLV, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(UnitState::modifierFlag);
    // A key coming up elsewhere leaves it set.
    QTest::keyRelease(form->Edit2, Qt::Key_Control);
    EXPECT_TRUE(UnitState::modifierFlag);
    QTest::keyRelease(form->FoundLV, Qt::Key_Control);
    EXPECT_FALSE(UnitState::modifierFlag);
}

TEST_F(ResultListTest, RightButtonOpensTheMenuOnlyWithRowsAtTheComputedPoint)
{
    const QPoint at(40, 60);
    QTest::mousePress(form->FoundLV->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(form->FoundLV->viewport(), Qt::RightButton, {}, at);
    EXPECT_FALSE(form->pm1->isVisible());

    fillAndSearch();
    form->move(0, 0); // room below the point, so the menu is not pushed back onto the screen
    QTest::mousePress(form->FoundLV->viewport(), Qt::RightButton, {}, at);
    ASSERT_TRUE(form->pm1->isVisible());
    const QPoint inList = form->FoundLV->viewport()->mapTo(form->FoundLV, at);
    const QPoint origin = form->mapToGlobal(QPoint(0, 0));
    const QPoint expected(origin.x() + inList.x(),
                          origin.y() + form->PanelReg->height() + 110 + inList.y());
    EXPECT_EQ(form->pm1->pos(), expected);
    form->pm1->hide();
}

// Each list's menu opens from the Menu key and Shift+F10 at the focused row; the
// result list does not count the Shift as held afterwards.
TEST_F(ResultListTest, EveryListsMenuOpensFromTheMenuKeyAndShiftF10AtTheFocusedRow)
{
    fillAndSearch();
    form->move(0, 0);
    form->RegTV->selectNode(form->RootNodes[2]); // with values to list
    const std::pair<QAbstractItemView *, QMenu *> lists[] = {
        {form->FoundLV, form->pm1}, {form->RegTV, form->pmKeys}, {form->RegLV, form->pmValues}};
    for (const auto &[view, menu] : lists)
        for (const auto &[key, shift] :
             {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
            if (view != form->RegTV) view->setCurrentIndex(view->model()->index(1, 0));
            QTest::keyPress(view, key, shift); // released in the menu
            ASSERT_TRUE(menu->isVisible()) << view->objectName().toStdString() << key;
            EXPECT_FALSE(UnitState::modifierFlag); // a double click would do nothing
            const QRect row = view->visualRect(view->currentIndex());
            EXPECT_EQ(menu->pos(), view->viewport()->mapToGlobal(row.center()));
            menu->hide();
        }
    EXPECT_EQ(form->RegTV->selectedNode(), form->RootNodes[2]);
}

} // namespace
