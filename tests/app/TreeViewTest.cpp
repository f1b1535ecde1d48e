// The key tree's events: synchronous, in order, for user actions and program calls.
#include "tests/harness/WindowHarness.h"

#include "tests/support/SmallStack.h"
#include "widgets/TImageList.h"
#include "widgets/TTreeModel.h"
#include "widgets/TTreeView.h"

#include <QAccessible>
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
        tree.setHasChildren(b, true);
        c = tree.addNode(nullptr, "C", 1);
        tree.show();
        auto record = [this](const char *what) {
            return [this, what](TTreeNode *node) {
                log.push_back(std::string(what) + " " + node->name());
            };
        };
        QObject::connect(&tree, &TTreeView::expanding, record("expanding"));
        QObject::connect(&tree, &TTreeView::expanded, record("expanded"));
        QObject::connect(&tree, &TTreeView::collapsing, record("collapsing"));
        QObject::connect(&tree, &TTreeView::collapsed, record("collapsed"));
        QObject::connect(&tree, &TTreeView::changing, [this](TTreeNode *node) {
            // Still the old selection while changing runs.
            TTreeNode *old = tree.selectedNode();
            log.push_back("changing " + node->name() + " from " + (old ? old->name() : "-"));
        });
        QObject::connect(&tree, &TTreeView::changed, record("changed"));
    }

    QPoint buttonOf(TTreeNode *node)
    {
        const QRect cell = tree.nodeRect(node);
        return {cell.left() - tree.indentation() / 2, cell.center().y()};
    }

    struct ApplicationFirst
    {
        ApplicationFirst() { WindowHarness::ensureApplication(); }
    } applicationFirst;
    TTreeView tree;
    TTreeNode *a = nullptr, *a1 = nullptr, *a2 = nullptr, *b = nullptr, *c = nullptr;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(TreeEvents, ProgramCallsRunBothHandlersBeforeReturning)
{
    EXPECT_TRUE(tree.expandNode(a));
    EXPECT_TRUE(tree.isNodeExpanded(a));
    EXPECT_TRUE(tree.collapseNode(a));
    EXPECT_FALSE(tree.isNodeExpanded(a));
    tree.selectNode(a2);
    EXPECT_EQ(tree.selectedNode(), a2);
    EXPECT_TRUE(tree.selectionModel()->isSelected(tree.indexOf(a2)));
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
    WindowHarness::doubleClick(&tree, tree.nodeRect(c).center());
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(tree.isNodeExpanded(c));
}

TEST_F(TreeEvents, AMarkedNodeThatGetsNoChildrenStaysCollapsedAndIsReadAgain)
{
    EXPECT_TRUE(tree.expandNode(b));
    EXPECT_FALSE(tree.isNodeExpanded(b));
    // The expanding handler is where children are loaded.
    QObject::connect(&tree, &TTreeView::expanding, [this](TTreeNode *node) {
        if (node == b && b->childCount() == 0) tree.addNode(b, "B1", 1);
    });
    EXPECT_TRUE(tree.expandNode(b));
    EXPECT_TRUE(tree.isNodeExpanded(b));
    EXPECT_EQ(log, (Log{"expanding B", "expanded B", "expanding B", "expanded B"}));
}

TEST_F(TreeEvents, UserActionsTakeTheSameRoute)
{
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, buttonOf(a));
    EXPECT_TRUE(tree.isNodeExpanded(a));
    EXPECT_EQ(tree.selectedNode(), nullptr); // the expand button does not select
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, tree.nodeRect(a1).center());
    QTest::keyClick(&tree, Qt::Key_Down);
    QTest::keyClick(&tree, Qt::Key_Left); // A2 has no children: moves to the parent
    QTest::keyClick(&tree, Qt::Key_Minus);
    QTest::keyClick(&tree, Qt::Key_Right);
    WindowHarness::doubleClick(&tree, tree.nodeRect(a).center());
    EXPECT_EQ(log, (Log{"expanding A", "expanded A", "changing A1 from -", "changed A1",
                        "changing A2 from A1", "changed A2", "changing A from A2", "changed A",
                        "collapsing A", "collapsed A", "expanding A", "expanded A", "collapsing A",
                        "collapsed A"}));
    // A right click leaves the selection alone.
    log.clear();
    QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::NoModifier, tree.nodeRect(b).center());
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
    tree.removeNode(a1);
    EXPECT_EQ(tree.selectedNode(), a2);
    tree.removeNode(a2);
    EXPECT_EQ(tree.selectedNode(), a);
    EXPECT_EQ(log, (Log{"changing A2 from A1", "changed A2", "changing A from A2", "changed A"}));

    // A node removed from the middle leaves its later siblings addressable.
    TTreeNode *x = tree.addNode(a, "X", 1);
    TTreeNode *y = tree.addNode(a, "Y", 1);
    TTreeNode *z = tree.addNode(a, "Z", 1);
    tree.removeNode(x);
    tree.removeNode(y);
    EXPECT_EQ(a->child(0), z);
    tree.selectNode(z);
    EXPECT_EQ(tree.nodeAt(tree.nodeRect(z).center()), z);
    EXPECT_EQ(tree.selectedNode(), z);
}

// What a screen reader is given: each shown node by its text, and the selection.
TEST_F(TreeEvents, AccessibleTreePresentsTheNodes)
{
    tree.expandNode(a);
    tree.selectNode(a2);
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(&tree);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->role(), QAccessible::Tree);
    QStringList names, selected;
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface *cell = view->child(i);
        if (cell->role() != QAccessible::TreeItem) continue; // the hidden header
        names << cell->text(QAccessible::Name);
        if (cell->state().selected) selected << cell->text(QAccessible::Name);
    }
    EXPECT_EQ(names, (QStringList{"A", "A1", "A2", "B", "C"}));
    EXPECT_EQ(selected, QStringList{"A2"});
}

TEST_F(TreeEvents, TheSelectedImageShowsOnlyWhileSelected)
{
    TImageList images;
    tree.setImageList(&images);
    auto look = [this](TTreeNode *node) {
        return tree.viewport()->grab(tree.nodeRect(node)).toImage();
    };
    // Unselected, the selected image plays no part.
    tree.setSelectedIndex(b, 2);
    const QImage unselected = look(b);
    tree.setSelectedIndex(b, 1);
    EXPECT_EQ(look(b), unselected);
    // Selected, it is what shows.
    tree.selectNode(b);
    const QImage selectedClosed = look(b);
    tree.setSelectedIndex(b, 2);
    EXPECT_NE(look(b), selectedClosed);
    tree.setImageIndex(b, 4);
    tree.setSelectedIndex(b, 1);
    EXPECT_EQ(look(b), selectedClosed);
}

// A subtree deeper than any call stack allows is freed without recursing per level.
TEST(TreeNodes, ADeepSubtreeIsFreedOnASmallStack)
{
    OnSmallStack([] {
        TTreeModel model;
        TTreeNode *top = model.append(nullptr, std::make_unique<TTreeNode>("top", 0));
        TTreeNode *node = top;
        for (int level = 0; level < 100000; ++level)
            node = model.append(node, std::make_unique<TTreeNode>("k", 1));
        model.remove(top);
        EXPECT_EQ(model.rowCount(), 0);
    });
}

} // namespace
