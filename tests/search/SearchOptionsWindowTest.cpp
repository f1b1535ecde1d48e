// The search options in the window: refused before a run when they cannot search,
// remembered for the next window with the last texts, and the replace of the rows
// they found.
#include "tests/search/SearchFixture.h"

#include "registry/api/TRegistry.h"
#include "widgets/TButton.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>

using namespace std::string_literals;

namespace {

class SearchOptionsWindowTest : public SearchFixture
{
protected:
    QCheckBox *box(const char *name) const { return harness->find<QCheckBox>(name); }
    QLineEdit *field(const char *name) const { return harness->find<QLineEdit>(name); }

    static TRegistry &game(TRegistry &reg)
    {
        reg.SelectRoot(HKEY_CURRENT_USER);
        EXPECT_TRUE(reg.OpenPath("\\Software\\Game"));
        return reg;
    }
};

TEST_F(SearchOptionsWindowTest, ControlsHaveTheirNamesAndWhatCannotSearchIsRefusedBeforeTheRun)
{
    QStringList names;
    for (const char *name : {"ckbMatchCase", "ckbWholeText", "ckbRegex", "ckbKeys", "ckbNames",
                             "ckbData", "ckbNumbers", "ckbBinary"})
        names << box(name)->accessibleName();
    names << field("edChangedSince")->accessibleName()
          << field("edChangedBefore")->accessibleName();
    EXPECT_EQ(names,
              QStringList({"Match case", "Whole text", "Regular expression", "Keys", "Value names",
                           "Data", "Numbers", "Binary", "Changed since", "Changed before"}));
    // In the free room of the top row, between "Registry…" and "Search for:".
    EXPECT_EQ(form->OptionsButton->geometry(), QRect(209, 1, 96, 21));
    EXPECT_EQ(form->OptionsButton->text(), "Options");
    EXPECT_FALSE(form->RecentSearches->isVisible()); // no texts yet

    setText(HKEY_CURRENT_USER, "Software\\Steam", "dll", "steam_api64.dll");
    search("steam");
    ASSERT_EQ(rows().size(), 2u);
    harness->clearBoxes();

    const auto refused = [&](const std::string &text, const std::string &reason) {
        SCOPED_TRACE(text);
        harness->clearBoxes();
        search(text);
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].kind, Dialogs::TDialogKind::Error);
        EXPECT_NE(boxes()[0].text.find(reason), std::string::npos) << boxes()[0].text;
        EXPECT_EQ(rows().size(), 2u); // the list of the last run stays
        EXPECT_EQ(form->Button1->text(), "&Search");
        EXPECT_TRUE(form->Edit1->isEnabled());
    };
    box("ckbRegex")->setChecked(true);
    EXPECT_EQ(form->OptionsButton->text(), "Options *");
    refused("steam_api(64", "missing ): steam_api(64");
    refused("a{1001}", "invalid repetition size");
    box("ckbRegex")->setChecked(false);
    field("edChangedSince")->setText("yesterday");
    refused("steam", "Changed since");
    field("edChangedSince")->clear();
    for (const char *place : {"ckbKeys", "ckbNames", "ckbData"})
        box(place)->setChecked(false);
    refused("steam", "Nothing to look in");
}

TEST_F(SearchOptionsWindowTest, OptionsAndTheLastTwentyTextsAreKeptForTheNextWindow)
{
    box("ckbMatchCase")->setChecked(true);
    box("ckbNames")->setChecked(false);
    field("edChangedSince")->setText("3d");
    for (int i = 0; i < 22; ++i)
        search("text " + std::to_string(i));
    search("text 20"); // again: it moves to the top, once

    TRegForm next;
    EXPECT_TRUE(next.findChild<QCheckBox *>("ckbMatchCase")->isChecked());
    EXPECT_FALSE(next.findChild<QCheckBox *>("ckbNames")->isChecked());
    EXPECT_TRUE(next.findChild<QCheckBox *>("ckbKeys")->isChecked());
    EXPECT_FALSE(next.findChild<QCheckBox *>("ckbRegex")->isChecked());
    EXPECT_EQ(next.findChild<QLineEdit *>("edChangedSince")->text(), "3d");
    EXPECT_EQ(next.OptionsButton->text(), "Options *");
    QStringList offered;
    for (QAction *action : next.RecentSearchesMenu->actions())
        offered << action->text();
    ASSERT_EQ(offered.size(), 20);
    EXPECT_EQ(offered.front(), "text 20");
    EXPECT_EQ(offered.at(1), "text 21");
    EXPECT_EQ(offered.back(), "text 2");
    EXPECT_TRUE(next.RecentSearches->isVisible());
    next.RecentSearchesMenu->actions().at(1)->trigger();
    EXPECT_EQ(next.Edit1->text(), "text 21");
}

// A screen reader finds each control by its name, and the options panel's controls
// from the application down while the panel is open (a popup alone is not listed).
TEST_F(SearchOptionsWindowTest, ControlsHaveNamesAndTheOpenPanelIsInTheAccessibilityTree)
{
    const auto reachable = [] { // every name from the application down
        QStringList found;
        for (std::vector next{QAccessible::queryAccessibleInterface(qApp)};
             !next.empty() && found.size() < 5000;) {
            QAccessibleInterface *at = next.back();
            next.pop_back();
            found << at->text(QAccessible::Name);
            for (int i = 0; i < at->childCount(); ++i)
                next.push_back(at->child(i));
        }
        return found;
    };
    const QStringList closed = reachable();
    for (const char *name :
         {"Search for", "Replace with", "Keys", "Values", "Search results", "Recent searches"})
        EXPECT_TRUE(closed.contains(name)) << name;
    EXPECT_FALSE(closed.contains("Match case"));
    form->OptionsButton->click();
    const QStringList open = reachable();
    EXPECT_TRUE(open.contains("Match case") && open.contains("Changed before")) << open.size();
    QAccessibleInterface *panel = QAccessible::queryAccessibleInterface(form->OptionsPanel);
    EXPECT_EQ(panel->parent()->child(panel->parent()->indexOfChild(panel)), panel);
    form->OptionsPanel->hide();
    EXPECT_FALSE(reachable().contains("Match case"));
}

// Reading a picture from a file loads Qt's image plugins, 0.3 MB resident for the
// whole run: the window draws the arrow of its recent texts, and the panel's fields
// get their clear buttons (whose icon is such a picture) when the panel opens.
TEST_F(SearchOptionsWindowTest, NoPictureIsReadFromAFileUntilThePanelOpens)
{
    const auto imagePluginsLoaded = [] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
    };
    // Beside others, an earlier test may have opened the panel; ctest runs each alone.
    if (testing::UnitTest::GetInstance()->test_to_run_count() > 1)
        GTEST_SKIP() << "meaningful only when run alone";
    search("steam");
    ASSERT_TRUE(form->RecentSearches->isVisible());
    form->grab(); // paints the arrow
    EXPECT_FALSE(imagePluginsLoaded());

    form->OptionsButton->click();
    EXPECT_TRUE(form->OptionsPanel->isVisible());
    EXPECT_TRUE(field("edChangedSince")->isClearButtonEnabled());
    EXPECT_TRUE(field("edChangedBefore")->isClearButtonEnabled());
    form->OptionsPanel->hide();
}

TEST_F(SearchOptionsWindowTest, ReplaceUsesThePatternsGroupsAndTellsRefusedNumberRowsInOneBox)
{
    setText(HKEY_CURRENT_USER, "Software\\Game", "dll", "C:\\game\\STEAM_API64.DLL");
    setValue(HKEY_CURRENT_USER, "Software\\Game", "width", REG_DWORD, "\x80\x07\0\0"s);
    setValue(HKEY_CURRENT_USER, "Software\\Game", "height", REG_DWORD, "\x80\x07\0\0"s);

    box("ckbRegex")->setChecked(true);
    box("ckbKeys")->setChecked(false);
    search("steam_api(64)?\\.dll");
    ASSERT_EQ(rows().size(), 1u);
    form->Edit2->setText("stub\\1.dll");
    harness->clearBoxes();
    form->Button4->click();
    TRegistry reg;
    EXPECT_EQ(game(reg).ReadText("dll"), "C:\\game\\stub64.dll");

    // A group the pattern does not have is refused before anything is asked.
    search("steam_api(64)?\\.dll|stub(64)\\.dll");
    form->Edit2->setText("\\3");
    harness->clearBoxes();
    form->Button4->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].text.find("does not suit"), std::string::npos) << boxes()[0].text;

    box("ckbRegex")->setChecked(false);
    box("ckbNumbers")->setChecked(true);
    search("1920");
    ASSERT_EQ(rows().size(), 2u);
    EXPECT_EQ(rows()[0].value, "00000780");
    form->Edit2->setText("1");
    harness->clearBoxes();
    form->Button4->click();
    std::vector<std::string> told;
    for (const RecordedBox &b : boxes())
        if (b.kind == Dialogs::TDialogKind::Error) told.push_back(b.text);
    // Both refusals in one box, after the replace.
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("2 items were refused"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("REG_DWORD data holds no text"), std::string::npos) << told[0];
    EXPECT_EQ(game(reg).ReadDword("width"), 1920u);
    EXPECT_EQ(rows().size(), 2u); // refused rows stay listed
}

} // namespace
