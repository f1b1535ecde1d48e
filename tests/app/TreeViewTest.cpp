// The key tree's events: synchronous, in order, for user actions and program calls.
#include "WindowHarness.h"

#include "app/TImageList.h"
#include "app/TTreeView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A tree with a root "A" (children A1, A2), a marked childless "B" and a bare "C".
class TreeEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.resize(300, 300);
        a = tree.addNode(nullptr, "A", 1);
        a1 = tree.addNode(a, "A1", 1);
        a2 = tree.addNode(a, "A2", 1);
        b = tree.addNode(nullptr, "B", 1);
        TTreeView::setHasChildren(b, true);
        c = tree.addNode(nullptr, "C", 1);
        tree.show();
        auto record = [this](const char *what) {
            return [this, what](QTreeWidgetItem *node) {
                log.push_back(std::string(what) + " " + node->text(0).toStdString());
            };
        };
        QObject::connect(&tree, &TTreeView::expanding, record("expanding"));
        QObject::connect(&tree, &TTreeView::expanded, record("expanded"));
        QObject::connect(&tree, &TTreeView::collapsing, record("collapsing"));
        QObject::connect(&tree, &TTreeView::collapsed, record("collapsed"));
        QObject::connect(&tree, &TTreeView::changing, [this](QTreeWidgetItem *node) {
            // Still the old selection while changing runs.
            QTreeWidgetItem *old = tree.currentItem();
            log.push_back("changing " + node->text(0).toStdString() + " from " +
                          (old ? old->text(0).toStdString() : "-"));
        });
        QObject::connect(&tree, &TTreeView::changed, record("changed"));
    }

    QPoint buttonOf(QTreeWidgetItem *node)
    {
        const QRect cell = tree.visualItemRect(node);
        return {cell.left() - tree.indentation() / 2, cell.center().y()};
    }

    struct ApplicationFirst
    {
        ApplicationFirst() { WindowHarness::ensureApplication(); }
    } applicationFirst;
    TTreeView tree;
    QTreeWidgetItem *a = nullptr, *a1 = nullptr, *a2 = nullptr, *b = nullptr, *c = nullptr;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(TreeEvents, ProgramCallsRunBothHandlersBeforeReturning)
{
    EXPECT_TRUE(tree.expandNode(a));
    EXPECT_TRUE(a->isExpanded());
    EXPECT_TRUE(tree.collapseNode(a));
    EXPECT_FALSE(a->isExpanded());
    tree.selectNode(a2);
    EXPECT_EQ(tree.selectedNode(), a2);
    EXPECT_TRUE(a2->isSelected());
    tree.selectNode(a2); // no move, no events
    EXPECT_EQ(log, (Log{"expanding A", "expanded A", "collapsing A", "collapsed A",
                        "changing A2 from -", "changed A2"}));
}

TEST_F(TreeEvents, ANodeWithoutChildrenOrMarkCannotBeExpanded)
{
    EXPECT_FALSE(tree.expandNode(c));
    EXPECT_FALSE(tree.collapseNode(c));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, buttonOf(c));
    tree.selectNode(c);
    log.clear();
    QTest::keyClick(&tree, Qt::Key_Plus);
    QTest::keyClick(&tree, Qt::Key_Right);
    WindowHarness::doubleClick(&tree, tree.visualItemRect(c).center());
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(c->isExpanded());
}

TEST_F(TreeEvents, AMarkedNodeThatGetsNoChildrenStaysCollapsedAndIsReadAgain)
{
    EXPECT_TRUE(tree.expandNode(b));
    EXPECT_FALSE(b->isExpanded());
    // The expanding handler is where children are loaded.
    QObject::connect(&tree, &TTreeView::expanding, [this](QTreeWidgetItem *node) {
        if (node == b && b->childCount() == 0) tree.addNode(b, "B1", 1);
    });
    EXPECT_TRUE(tree.expandNode(b));
    EXPECT_TRUE(b->isExpanded());
    EXPECT_EQ(log, (Log{"expanding B", "expanded B", "expanding B", "expanded B"}));
}

TEST_F(TreeEvents, UserActionsTakeTheSameRoute)
{
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, buttonOf(a));
    EXPECT_TRUE(a->isExpanded());
    EXPECT_EQ(tree.selectedNode(), nullptr); // the expand button does not select
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier,
                      tree.visualItemRect(a1).center());
    QTest::keyClick(&tree, Qt::Key_Down);
    QTest::keyClick(&tree, Qt::Key_Left); // A2 has no children: moves to the parent
    QTest::keyClick(&tree, Qt::Key_Minus);
    QTest::keyClick(&tree, Qt::Key_Right);
    WindowHarness::doubleClick(&tree, tree.visualItemRect(a).center());
    EXPECT_EQ(log, (Log{"expanding A", "expanded A", "changing A1 from -", "changed A1",
                        "changing A2 from A1", "changed A2", "changing A from A2", "changed A",
                        "collapsing A", "collapsed A", "expanding A", "expanded A", "collapsing A",
                        "collapsed A"}));
    // A right click leaves the selection alone.
    log.clear();
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier,
                      tree.visualItemRect(b).center());
    EXPECT_EQ(tree.selectedNode(), a);
    EXPECT_TRUE(log.empty());
}

TEST_F(TreeEvents, FocusByKeyboardSelectsTheFirstNodeWithBothEvents)
{
    QFocusEvent byMouse(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(&tree, &byMouse);
    EXPECT_TRUE(log.empty());
    QFocusEvent byTab(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&tree, &byTab);
    EXPECT_EQ(tree.selectedNode(), a);
    EXPECT_EQ(log, (Log{"changing A from -", "changed A"}));
}

TEST_F(TreeEvents, CollapsingOrRemovingMovesTheSelectionOutWithItsEvents)
{
    tree.expandNode(a);
    tree.selectNode(a1);
    log.clear();
    tree.collapseNode(a);
    EXPECT_EQ(tree.selectedNode(), a);
    EXPECT_EQ(log, (Log{"collapsing A", "changing A from A1", "changed A", "collapsed A"}));

    // Removed with the selection: next sibling first, else the parent.
    tree.expandNode(a);
    tree.selectNode(a1);
    log.clear();
    delete a1;
    EXPECT_EQ(tree.selectedNode(), a2);
    delete a2;
    EXPECT_EQ(tree.selectedNode(), a);
    EXPECT_EQ(log, (Log{"changing A2 from A1", "changed A2", "changing A from A2", "changed A"}));
}

TEST_F(TreeEvents, TheSelectedImageShowsOnlyWhileSelected)
{
    TImageList images;
    tree.setImageList(&images);
    auto look = [this](QTreeWidgetItem *node) {
        return tree.viewport()->grab(tree.visualItemRect(node)).toImage();
    };
    // Unselected, the selected image plays no part.
    TTreeView::setSelectedIndex(b, 2);
    const QImage unselected = look(b);
    TTreeView::setSelectedIndex(b, 1);
    EXPECT_EQ(look(b), unselected);
    // Selected, it is what shows.
    tree.selectNode(b);
    const QImage selectedClosed = look(b);
    TTreeView::setSelectedIndex(b, 2);
    EXPECT_NE(look(b), selectedClosed);
    TTreeView::setImageIndex(b, 4);
    TTreeView::setSelectedIndex(b, 1);
    EXPECT_EQ(look(b), selectedClosed);
}

} // namespace
