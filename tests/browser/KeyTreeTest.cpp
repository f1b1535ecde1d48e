#include "tests/browser/BrowserFixture.h"

#include <QTimer>

namespace {

using Tree = TTreeView;

TEST_F(BrowserTest, TreeLoadsOneLevelOnDemandWithMarksAndImages)
{
    key("\\Software\\Wine\\Fonts");
    key("\\Software\\Empty");
    key("\\Alpha");
    ASSERT_EQ(top()->childCount(), 7);
    for (TTreeNode *root : form->RootNodes) {
        EXPECT_EQ(root->childCount(), 0);
        EXPECT_TRUE(Tree::hasChildren(root));
    }
    EXPECT_EQ(Tree::selectedIndex(top()), kImageComputer);

    ASSERT_TRUE(form->RegTV->expandNode(user()));
    EXPECT_EQ(texts(user()), (std::vector<std::string>{"Alpha", "Software"}));
    EXPECT_EQ(Tree::selectedIndex(user()), kImageOpenFolder);
    TTreeNode *software = child(user(), "Software");
    EXPECT_TRUE(Tree::hasChildren(software));
    EXPECT_FALSE(Tree::hasChildren(child(user(), "Alpha")));
    EXPECT_EQ(Tree::imageIndex(software), kImageClosedFolder);
    EXPECT_EQ(Tree::selectedIndex(software), kImageClosedFolder); // untouched yet
    EXPECT_EQ(software->childCount(), 0);
    EXPECT_EQ(lb1(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A key without subkeys cannot be expanded, even once it has some.
    key("\\Alpha\\Late");
    EXPECT_FALSE(form->RegTV->expandNode(child(user(), "Alpha")));
    // Reloading the parent reads it anew and gives it the button.
    form->RegTV->collapseNode(user());
    EXPECT_EQ(user()->childCount(), 0);
    EXPECT_TRUE(Tree::hasChildren(user()));
    form->RegTV->expandNode(user());
    EXPECT_TRUE(Tree::hasChildren(child(user(), "Alpha")));

    // A root that does not open expands to nothing, silently.
    EXPECT_TRUE(form->RegTV->expandNode(form->RootNodes[6]));
    EXPECT_EQ(form->RootNodes[6]->childCount(), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(BrowserTest, ExpandButtonLoadsAndCollapseMovesTheSelectionUp)
{
    key("\\Software\\Inner");
    const QRect cell = form->RegTV->nodeRect(user());
    const QPoint button(cell.left() - 9, cell.center().y());
    harness->click(form->RegTV, button);
    ASSERT_EQ(texts(user()), std::vector<std::string>{"Software"});
    EXPECT_TRUE(form->RegTV->isNodeExpanded(user()));
    TTreeNode *software = child(user(), "Software");
    form->RegTV->expandNode(software);
    form->RegTV->selectNode(child(software, "Inner"));
    harness->click(form->RegTV, button);
    EXPECT_EQ(user()->childCount(), 0);
    EXPECT_EQ(form->RegTV->selectedNode(), user());
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER");
}

TEST_F(BrowserTest, CollapseDropsUpTo500ChildrenAndKeepsMore)
{
    for (int i = 0; i < 500; ++i) {
        key("\\Five\\K" + std::to_string(1000 + i));
        key("\\More\\K" + std::to_string(1000 + i));
    }
    key("\\More\\K9999");
    form->RegTV->expandNode(user());
    TTreeNode *five = child(user(), "Five");
    TTreeNode *more = child(user(), "More");
    form->RegTV->expandNode(five);
    form->RegTV->expandNode(more);
    ASSERT_EQ(five->childCount(), 500);
    ASSERT_EQ(more->childCount(), 501);

    key("\\Five\\New");
    key("\\More\\New");
    form->RegTV->collapseNode(five);
    form->RegTV->collapseNode(more);
    EXPECT_EQ(five->childCount(), 0);
    EXPECT_EQ(more->childCount(), 501);
    EXPECT_EQ(Tree::selectedIndex(more), kImageOpenFolder);

    form->lb1->setText(QStringLiteral("untouched"));
    form->RegTV->expandNode(more); // loaded already: no read, lb1 as it was
    EXPECT_EQ(more->childCount(), 501);
    EXPECT_EQ(lb1(), "untouched");
    form->RegTV->expandNode(five);
    EXPECT_EQ(five->childCount(), 501);
    EXPECT_NE(child(five, "New"), nullptr);
}

TEST_F(BrowserTest, LoadShowsProgressAndRunsTheMessageLoopPerChildlessChild)
{
    key("\\Software\\A");
    key("\\Software\\B\\Sub");
    key("\\Software\\C");
    form->RegTV->expandNode(user());
    TTreeNode *software = child(user(), "Software");
    std::vector<std::string> seen;
    bool busy = false;
    QTimer::singleShot(0, [&] {
        seen.push_back(lb1());
        busy = QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        seen.push_back(std::to_string(software->childCount()));
    });
    form->RegTV->expandNode(software);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "expanding My Computer\\HKEY_CURRENT_USER\\Software...", "1"}));
    EXPECT_TRUE(busy);
    EXPECT_EQ(lb1(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(form->RegTV->updatesEnabled());
}

// During a load's message-loop passes neither the loading node nor its ancestors
// can be collapsed or deleted; the load then ends with every child in place.
TEST_F(BrowserTest, LoadingNodeAndAncestorsStayDuringTheLoad)
{
    for (const char *name : {"A", "B", "C"})
        key(std::string("\\Software\\Wine\\") + name);
    TTreeNode *software = open({"Software"});
    TTreeNode *wine = child(software, "Wine");
    form->RegTV->selectNode(software);
    int passes = 0;
    QTimer::singleShot(0, [&] {
        ++passes;
        EXPECT_FALSE(form->RegTV->collapseNode(wine));
        EXPECT_FALSE(form->RegTV->collapseNode(software));
        EXPECT_FALSE(form->RegTV->collapseNode(user()));
        form->RegTVKeyUp(Qt::Key_Delete, {}); // on Software, an ancestor
        form->RegTV->selectNode(wine);
        form->RegTVKeyUp(Qt::Key_Delete, {});
    });
    form->RegTV->expandNode(wine);
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(texts(wine), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(hasKey("\\Software\\Wine"));
    // Once the load is over both work again.
    EXPECT_TRUE(form->RegTV->collapseNode(software));
    EXPECT_EQ(software->childCount(), 0);
}

// Two keys that show alike: one name not valid UTF-8, the other holding the
// replacement character shown for it. Each node addresses its own key.
TEST_F(BrowserTest, NodesAddressTheirKeysByTheExactNameBytes)
{
    const std::string latin = "Caf\xE9", shown = "Caf\xEF\xBF\xBD";
    value("\\Software\\" + latin, "which", std::string("latin", 6), REG_SZ);
    value("\\Software\\" + shown, "which", std::string("shown", 6), REG_SZ);
    TTreeNode *software = open({"Software"});
    TTreeNode *bad = child(software, latin.c_str());
    ASSERT_NE(bad, nullptr);
    ASSERT_NE(child(software, shown.c_str()), nullptr);
    EXPECT_EQ(bad->text(), child(software, shown.c_str())->text());

    form->RegTV->selectNode(bad);
    EXPECT_EQ(rows().back().value, "latin");
    form->RegTVKeyUp(Qt::Key_Delete, {});
    EXPECT_FALSE(hasKey("\\Software\\" + latin));
    EXPECT_TRUE(hasKey("\\Software\\" + shown));
    EXPECT_EQ(texts(software), std::vector<std::string>{shown});
}

TEST_F(BrowserTest, SelectionShowsTheKeyAndItsPath)
{
    key("\\Software\\My Computer\\Inner");
    value("\\Software\\My Computer\\Inner", "v", std::string("x\0", 2), REG_SZ);
    TTreeNode *mine = open({"Software", "My Computer"});
    TTreeNode *inner = child(mine, "Inner");
    form->RegTV->selectNode(inner);
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\My Computer\\Inner");
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "v"}));
    EXPECT_EQ(Tree::selectedIndex(inner), kImageOpenFolder);
    EXPECT_EQ(Tree::selectedIndex(mine), kImageOpenFolder);

    form->RegTV->selectNode(user());
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER");
    form->RegTV->selectNode(top());
    EXPECT_EQ(lb2(), "My Computer");
    EXPECT_EQ(form->RegLV->rowCount(), 0);
    EXPECT_EQ(Tree::selectedIndex(top()), kImageComputer);
}

} // namespace
