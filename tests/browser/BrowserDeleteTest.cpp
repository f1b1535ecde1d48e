#include "registry/win32/WideText.h"
#include "tests/browser/BrowserFixture.h"

#include <QTest>

namespace {

using Dialogs::TDialogKind;

std::string sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

// Refuses every change to the registry.
struct Veto : quarnel::platform::StoreHooks
{
    long beforeChange(const quarnel::platform::RegKey &) override { return ERROR_ACCESS_DENIED; }
};

class BrowserDeleteTest : public BrowserTest
{
protected:
    std::vector<std::string> errors() const
    {
        std::vector<std::string> texts;
        for (const auto &box : boxes())
            if (box.kind == TDialogKind::Error) texts.push_back(box.text);
        return texts;
    }
};

TEST_F(BrowserDeleteTest, KeyIsDeletedAfterConfirmationAndTheNextNodeSelected)
{
    key("\\Software\\Test\\Deep\\Deeper");
    value("\\Software\\Test\\Deep", "d", sz("1"), REG_SZ);
    value("\\Software\\Zoo", "z", sz("1"), REG_SZ);
    open({"Software", "Test"});
    TTreeNode *software = child(user(), "Software");
    TTreeNode *test = child(software, "Test");
    form->RegTV->selectNode(test);
    const std::string before = WindowHarness::registryDump();

    harness->answer(Dialogs::kCancel);
    QTest::keyClick(form->RegTV, Qt::Key_Backspace);
    EXPECT_TRUE(boxes().empty());
    QTest::keyClick(form->RegTV, Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, TDialogKind::Confirmation);
    EXPECT_EQ(boxes()[0].text,
              "Delete Key \n\rHKEY_CURRENT_USER\\Software\\Test\n\rand all its SubKeys?");
    // Counted as the result list's delete counts a key.
    EXPECT_EQ(boxes()[0].informative, "Removes 1 key with 2 subkeys and 1 value in it.");
    EXPECT_TRUE(hasKey("\\Software\\Test\\Deep\\Deeper"));

    form->RegTVKeyUp(Qt::Key_Delete, {});
    EXPECT_FALSE(hasKey("\\Software\\Test"));
    EXPECT_EQ(texts(software), std::vector<std::string>{"Zoo"});
    EXPECT_EQ(form->RegTV->selectedNode(), child(software, "Zoo"));
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Zoo");
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "z"}));
    EXPECT_EQ(boxes().size(), 2u);

    // Ctrl+Z gives the key back with everything below it, in its place in the tree.
    WindowHarness::pressUndo(form->RegTV);
    EXPECT_EQ(boxes().back().text,
              "Undo the last change?\n\rKey HKEY_CURRENT_USER\\Software\\Test deleted");
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EXPECT_EQ(texts(software), (std::vector<std::string>{"Test", "Zoo"}));
    EXPECT_TRUE(TTreeView::hasChildren(child(software, "Test")));
}

// A node that keeps more than 500 children hands the selection past its subtree.
TEST_F(BrowserDeleteTest, LargeNodeSelectsTheNodeAfterItsSubtree)
{
    for (int i = 0; i < 501; ++i)
        key("\\Big\\Many\\K" + std::to_string(i));
    key("\\Big\\Next");
    open({"Big", "Many"});
    TTreeNode *big = child(user(), "Big");
    form->RegTV->selectNode(child(big, "Many"));
    form->RegTVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(texts(big), std::vector<std::string>{"Next"});
    EXPECT_EQ(form->RegTV->selectedNode(), child(big, "Next"));
}

// No root's content can be deleted from the tree: the top node, a root node and
// a first-level key are refused even where a subkey named like the root exists.
TEST_F(BrowserDeleteTest, TopRootAndFirstLevelAreRefused)
{
    key("\\HKEY_CURRENT_USER\\Software\\Keep");
    key("\\Software\\Keep");
    value("\\Software", "v", sz("1"), REG_SZ);
    form->RegTV->expandNode(user());
    const std::vector<std::pair<TTreeNode *, std::string>> cases{
        {top(), "\\"},
        {user(), "HKEY_CURRENT_USER\\"},
        {child(user(), "Software"), "HKEY_CURRENT_USER\\Software"},
        {child(user(), "HKEY_CURRENT_USER"), "HKEY_CURRENT_USER\\HKEY_CURRENT_USER"},
    };
    for (const auto &[node, name] : cases) {
        harness->clearBoxes();
        form->RegTV->selectNode(node);
        form->RegTVKeyUp(Qt::Key_Delete, {});
        ASSERT_EQ(boxes().size(), 2u) << name;
        EXPECT_EQ(boxes()[0].text, "Delete Key \n\r" + name + "\n\rand all its SubKeys?");
        EXPECT_EQ(errors(), std::vector<std::string>{"not opened: " + name});
    }
    // Values of a first-level key too.
    form->RegTV->selectNode(child(user(), "Software"));
    form->RegLV->setRowSelected(1, true);
    harness->clearBoxes();
    form->RegLVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(errors(), std::vector<std::string>{"not opened: HKEY_CURRENT_USER\\Software"});
    EXPECT_TRUE(hasKey("\\HKEY_CURRENT_USER\\Software\\Keep"));
    EXPECT_TRUE(hasKey("\\Software\\Keep"));
    EXPECT_EQ(form->RegLV->rowCount(), 2);
}

TEST_F(BrowserDeleteTest, FailedKeyDeletionLeavesTheTree)
{
    key("\\Software\\Locked\\Sub");
    TTreeNode *software = open({"Software"});
    form->RegTV->selectNode(child(software, "Locked"));
    quarnel::platform::activeStore().setHooks(std::make_shared<Veto>());
    form->RegTVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(errors(),
              std::vector<std::string>{"not deleted: HKEY_CURRENT_USER\\Software\\Locked"});
    EXPECT_EQ(texts(software), std::vector<std::string>{"Locked"});
    quarnel::platform::activeStore().setHooks(std::make_shared<quarnel::platform::StoreHooks>());

    // A user's registry reached through a link to where the users' hives are: the
    // registry will not delete it, so nothing in it is emptied either.
    bool created = false;
    auto &link = quarnel::platform::activeStore().machine().addSubkey(u"Users", created);
    link.isLink = true;
    link.setValue(u"SymbolicLinkValue", REG_LINK,
                  utf16leBytes<std::vector<uint8_t>>(u"\\REGISTRY\\User"));
    TTreeNode *machine = form->RootNodes[2];
    form->RegTV->expandNode(machine);
    form->RegTV->expandNode(child(machine, "Users"));
    TTreeNode *hive = child(child(machine, "Users"), "S-1-5-21-0-0-0-1000");
    ASSERT_NE(hive, nullptr);
    form->RegTV->selectNode(hive);
    harness->clearBoxes();
    form->RegTVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(errors(), std::vector<std::string>{
                            "not deleted: HKEY_LOCAL_MACHINE\\Users\\S-1-5-21-0-0-0-1000"});
    EXPECT_TRUE(hasKey("\\Software\\Locked\\Sub"));
}

TEST_F(BrowserDeleteTest, ValueDeletionRemovesTheFirstSelectedRowOnly)
{
    const std::string path = "\\Software\\Vals";
    for (const char *name : {"Foo", "Bar", "Qux"})
        value(path, name, sz(name), REG_SZ);
    form->RegTV->selectNode(child(open({"Software"}), "Vals"));
    TListView *list = form->RegLV; // (Standard), Bar, Foo, Qux
    list->setRowSelected(3, true);
    list->setRowSelected(2, true);
    harness->answer(Dialogs::kCancel);
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Delete Value Foo?");
    form->RegLVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "Bar", "Qux"}));
    TRegistry reg;
    reg.OpenPath(path);
    EXPECT_FALSE(reg.HasValue("Foo"));
    EXPECT_TRUE(reg.HasValue("Qux"));

    quarnel::platform::activeStore().setHooks(std::make_shared<Veto>());
    form->RegLVKeyUp(Qt::Key_Delete, {}); // Qux is still selected
    EXPECT_EQ(errors(), std::vector<std::string>{"not deleted: HKEY_CURRENT_USER\\Software\\Vals"});
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "Bar", "Qux"}));
    quarnel::platform::activeStore().setHooks(std::make_shared<quarnel::platform::StoreHooks>());
}

// The default value's "(Standard)" row empties it instead of removing it; the row
// of a value really named "(Standard)" removes that value.
TEST_F(BrowserDeleteTest, DefaultValueIsEmptied)
{
    const std::string path = "\\Software\\Def";
    value(path, "", sz("abc"), REG_SZ);
    value(path, "(Standard)", sz("named"), REG_SZ);
    value("\\Software\\Num", "", std::string("\x05\0\0\0", 4), REG_DWORD);
    key("\\Software\\Unset");
    const std::string before = WindowHarness::registryDump();
    TTreeNode *software = open({"Software"});
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    const auto deleteRowShowing = [this](const char *valueText) {
        form->RegLV->clearSelection();
        for (int i = 0; i < form->RegLV->rowCount(); ++i)
            if (form->RegLV->text(i, 2) == QString::fromUtf8(valueText))
                form->RegLV->setRowSelected(i, true);
        form->RegLVKeyUp(Qt::Key_Delete, {});
    };

    form->RegTV->selectNode(child(software, "Def"));
    deleteRowShowing("named");
    ASSERT_TRUE(reg.OpenPath(path));
    EXPECT_FALSE(reg.HasValue("(Standard)"));
    EXPECT_EQ(reg.ReadText(""), "abc");
    EXPECT_EQ(rows(), (std::vector<Row>{{"(Standard)", "REG_SZ", "abc", kImageTextValue}}));

    deleteRowShowing("abc");
    EXPECT_EQ(reg.ReadText(""), "");
    EXPECT_EQ(reg.QueryValueKind(""), TValueKind::vkString);
    EXPECT_EQ(form->RegLV->text(0, 2), QStringLiteral("abc"));
    form->RegTV->selectNode(software);
    form->RegTV->selectNode(child(software, "Def"));
    EXPECT_EQ(form->RegLV->text(0, 2), QStringLiteral("(Value not set)"));

    // The placeholder row writes nothing.
    form->RegTV->selectNode(child(software, "Unset"));
    form->RegLV->setRowSelected(0, true);
    form->RegLVKeyUp(Qt::Key_Delete, {});
    ASSERT_TRUE(reg.OpenPath("\\Software\\Unset"));
    EXPECT_FALSE(reg.HasValue(""));

    // The empty-named row of a non-text default removes it.
    form->RegTV->selectNode(child(software, "Num"));
    form->RegLV->setRowSelected(0, true);
    harness->clearBoxes();
    form->RegLVKeyUp(Qt::Key_Delete, {});
    EXPECT_EQ(boxes().at(0).text, "Delete Value ?");
    ASSERT_TRUE(reg.OpenPath("\\Software\\Num"));
    EXPECT_FALSE(reg.HasValue(""));
    EXPECT_EQ(names(), std::vector<std::string>{"(Standard)"});
    EXPECT_TRUE(errors().empty());

    // Each deletion is taken back on its own, newest first.
    harness->clearBoxes();
    for (int i = 0; i < 3; ++i)
        WindowHarness::pressUndo(form->RegLV);
    std::vector<std::string> asked;
    for (const auto &box : boxes())
        asked.push_back(box.text);
    EXPECT_EQ(asked,
              (std::vector<std::string>{"Undo the last change?\n\rValue \"\" deleted",
                                        "Undo the last change?\n\rValue \"(Standard)\" emptied",
                                        "Undo the last change?\n\rValue \"(Standard)\" deleted"}));
    EXPECT_EQ(WindowHarness::registryDump(), before);
}

} // namespace
