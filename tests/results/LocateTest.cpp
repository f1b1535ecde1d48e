#include "tests/browser/BrowserFixture.h"

#include "app/UnitState.h"
#include "results/ResultModel.h"
#include "tests/harness/DeepKeyPath.h"
#include "widgets/TReportView.h"

#include <QMenu>
#include <QTest>
#include <QTimer>

namespace {

std::string sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

class LocateTest : public BrowserTest
{
protected:
    void SetUp() override
    {
        BrowserTest::SetUp();
        model = qobject_cast<ResultModel *>(form->FoundLV->model());
        if (!model) { // until the result list brings its own
            model = new ResultModel(&UnitState::sortColumn, form);
            form->FoundLV->setModel(model);
        }
        key("\\Software\\Wine\\Fonts");
        for (const char *name : {"a", "b", "c"})
            value("\\Software\\Wine", name, sz(name), REG_SZ);
        value("\\Software\\Wine", "", sz("default"), REG_SZ);
    }

    // Adds the rows and selects the one at `selected` (or none).
    void results(std::vector<ResultRow> list, int selected = 0)
    {
        for (ResultRow &row : list)
            model->appendRow(std::move(row));
        model->flush();
        form->FoundLV->selectionModel()->clear();
        if (selected >= 0)
            form->FoundLV->selectionModel()->select(
                model->index(selected, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::vector<std::string> selectedValues() const
    {
        std::vector<std::string> list;
        for (int i = 0; i < form->RegLV->rowCount(); ++i)
            if (form->RegLV->isRowSelected(i))
                list.push_back(form->RegLV->text(i, 0).toStdString());
        return list;
    }

    // A cell of the value list's current row: 0 its name, 2 its value.
    std::string current(int cell = 0) const
    {
        const int row = form->RegLV->currentRow();
        return row >= 0 ? form->RegLV->text(row, cell).toStdString() : std::string();
    }

    static bool hasValue(const std::string &name)
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        return reg.OpenPath("\\Software\\Wine") && reg.HasValue(name);
    }

    std::string selectedKey() const
    {
        const TTreeNode *node = form->RegTV->selectedNode();
        return node ? node->name() : std::string();
    }

    ResultModel *model = nullptr;
};

const char *const kUser = "HKEY_CURRENT_USER";

TEST_F(LocateTest, KeyRowUnfoldsTheTreeToTheKey)
{
    results({{kUser, "Software\\Wine\\", "", "", ""}});
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "Wine");
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Wine");
    EXPECT_TRUE(form->RegTV->isNodeExpanded(child(child(user(), "Software"), "Wine")));
    EXPECT_TRUE(form->RegTV->hasFocus());
    EXPECT_TRUE(selectedValues().empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A subkey with an empty name (Wine's files may hold one) is not where the
    // Branch's closing backslash leads.
    bool created = false;
    quarnel::platform::activeStore()
        .machine()
        .addSubkey(u"Software", created)
        .addSubkey(u"Quarnel", created)
        .addSubkey(u"", created);
    results({{"HKEY_LOCAL_MACHINE", "Software\\Quarnel\\", "", "", ""}}, 1);
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "Quarnel");
    EXPECT_EQ(lb2(), "My Computer\\HKEY_LOCAL_MACHINE\\Software\\Quarnel");
}

// The located value becomes the list's current and only selected row, so the focus
// rule leaves the first row alone and Delete deals with the located value.
TEST_F(LocateTest, ValueRowBecomesTheCurrentRowThatDeleteActsOn)
{
    results({{kUser, "Software\\Wine\\", "b", "REG_SZ", "b"}});
    harness->doubleClick(form->FoundLV->viewport(),
                         form->FoundLV->visualRect(model->index(0, 0)).center());
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"b"});
    EXPECT_EQ(current(), "b");
    EXPECT_TRUE(form->RegLV->hasFocus());
    QTest::keyClick(form->RegLV, Qt::Key_Delete);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Delete Value b?");
    EXPECT_FALSE(hasValue("b"));
    EXPECT_TRUE(hasValue("a"));

    // A second row of the key shown: no walk (which would fill the list anew), and
    // the value takes the selection over.
    results({{kUser, "Software\\Wine\\", "c", "REG_SZ", "c"}}, 1);
    form->FoundLVDblClick();
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"c"});
    EXPECT_EQ(current(), "c");
}

// Keys deeper than the registry calls take in one piece are reached and listed.
TEST_F(LocateTest, KeyBelowALongPathIsReachedAndItsValuesListed)
{
    const std::string deep = DeepKeyPath() + "\\Target";
    value("\\" + deep, "v", sz("deep"), REG_SZ);
    value("\\" + deep, "w", sz("data"), REG_SZ);
    results({{kUser, deep + "\\", "w", "REG_SZ", "data"}});
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "Target");
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\" + deep);
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "v", "w"}));
    EXPECT_EQ(rows().at(1).value, "deep");
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"w"});
}

// The default value's row and the row of a value really named "(Standard)" each
// find their own value.
TEST_F(LocateTest, DefaultValueRowAndExactNames)
{
    value("\\Software\\Wine", "(Standard)", sz("named"), REG_SZ);
    results({{kUser, "Software\\Wine\\", "(Standard)", "REG_SZ", "default", true}});
    form->FoundLVDblClick();
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"(Standard)"});
    EXPECT_EQ(current(2), "default");

    results({{kUser, "Software\\Wine\\", "(Standard)", "REG_SZ", "named"}}, 1);
    form->FoundLVDblClick();
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"(Standard)"});
    EXPECT_EQ(current(2), "named");
    QTest::keyClick(form->RegLV, Qt::Key_Delete);
    EXPECT_FALSE(hasValue("(Standard)"));
    EXPECT_TRUE(hasValue(""));

    // WINE is not Wine: the walk stays at Software and says so.
    harness->clearBoxes();
    results({{kUser, "Software\\WINE\\", "b", "REG_SZ", "b"}}, 2);
    form->FoundLVDblClick();
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "HKEY_CURRENT_USER\\Software has no key WINE any more: it was "
                               "renamed or deleted since the search.");
}

// A row whose key or value went since the search says so, the walk going as far
// as the keys are still there; a key the tree does not show yet is read and found.
TEST_F(LocateTest, ARowWhoseKeyOrValueWentSaysSo)
{
    key("\\Software\\Wine\\Fonts\\Old\\Deeper");
    const auto locate = [this](const std::string &branch, const std::string &name) {
        harness->clearBoxes();
        model->clear();
        results({{kUser, branch, name, name.empty() ? "" : "REG_SZ", name}});
        form->FoundLVDblClick();
        return boxes().empty() ? std::string() : boxes()[0].text;
    };
    const std::string gone = " any more: it was renamed or deleted since the search.";
    EXPECT_EQ(locate("Software\\Wine\\Fonts\\Old\\Deeper\\", ""), "");
    TTreeNode *fonts = child(child(child(user(), "Software"), "Wine"), "Fonts");
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    reg.RelocateKey("\\Software\\Wine\\Fonts\\Old", "\\Software\\Wine\\Fonts\\New", true);

    EXPECT_EQ(locate("Software\\Wine\\Fonts\\Old\\Deeper\\", ""),
              "HKEY_CURRENT_USER\\Software\\Wine\\Fonts has no key Old" + gone);
    EXPECT_EQ(selectedKey(), "Fonts");
    EXPECT_EQ(locate("Software\\Wine\\Fonts\\New\\Deeper\\", ""), "");
    EXPECT_EQ(selectedKey(), "Deeper");
    EXPECT_EQ(texts(fonts), std::vector<std::string>{"New"});

    // A value: the list shown may be older than the registry.
    EXPECT_EQ(locate("Software\\Wine\\", "a"), "");
    ASSERT_TRUE(reg.OpenPath("\\Software\\Wine"));
    ASSERT_TRUE(reg.RemoveValue("b"));
    EXPECT_EQ(locate("Software\\Wine\\", "b"),
              "HKEY_CURRENT_USER\\Software\\Wine has no value b" + gone);
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "a", "c"}));
}

TEST_F(LocateTest, NothingHappensWithoutARowARootOrWithAModifier)
{
    // Rows sort by Root: the HKEY_CURRENT_USER row comes first.
    results({{"HKEY_NOWHERE", "Software\\", "", "", ""}, {kUser, "Software\\", "", "", ""}}, -1);
    form->RegTV->selectNode(top());
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "My Computer");

    const auto selectOnly = [this](int row) {
        form->FoundLV->selectionModel()->clear();
        form->FoundLV->selectionModel()->select(
            model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    selectOnly(1);
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "My Computer");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    selectOnly(0);
    UnitState::modifierFlag = true;
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "My Computer");
    UnitState::modifierFlag = false;
    form->FoundLVDblClick();
    EXPECT_EQ(selectedKey(), "Software");
}

// Ctrl+Enter (also pm1's last item) locates the selected row; the Ctrl that came
// with it, released in the browser, does not stay counted as held.
TEST_F(LocateTest, CtrlEnterLocatesTheRow)
{
    results({{kUser, "Software\\Wine\\", "b", "REG_SZ", "b"}});
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(form->pm1->actions().back(), form->Locate1);
    form->FoundLV->setFocus();
    QTest::keyPress(form->FoundLV, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyClick(form->FoundLV, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(selectedValues(), std::vector<std::string>{"b"});
    EXPECT_TRUE(form->RegLV->hasFocus());
    EXPECT_FALSE(UnitState::modifierFlag);
}

// A loaded key that bears a root's name is not taken for that root.
TEST_F(LocateTest, OnlyRootNodesMatchTheRootCell)
{
    key("\\HKEY_CURRENT_USER\\Software\\Wine", HKEY_CLASSES_ROOT);
    form->RegTV->expandNode(form->RootNodes[0]);
    results({{kUser, "Software\\Wine\\", "", "", ""}});
    form->FoundLVDblClick();
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Wine");
}

// While the walk lets messages run, the node it stands on cannot be taken away.
TEST_F(LocateTest, TheWalkKeepsItsNode)
{
    results({{kUser, "Software\\Wine\\Fonts\\", "", "", ""}});
    int passes = 0;
    QTimer::singleShot(0, [&] {
        ++passes;
        TTreeNode *at = form->RegTV->selectedNode();
        EXPECT_FALSE(form->RegTV->collapseNode(at));
        form->RegTVKeyUp(Qt::Key_Delete, {});
    });
    form->FoundLVDblClick();
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(selectedKey(), "Fonts");
}

} // namespace
