// The search run through the real window: matching, the kinds of rows, scope,
// stop, Escape, counter, focus, statistics and what handlers may do mid-run.
#include "registry/win32/WideText.h"
#include "tests/search/SearchFixture.h"

#include "app/UnitState.h"
#include "registry/api/TRegistry.h"
#include "search/StatisticsLine.h"
#include "tests/harness/DeepKeyPath.h"
#include "widgets/TProgressBar.h"
#include "widgets/TTreeView.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>

using namespace std::string_literals;

namespace {

using Row = ResultRow;
const std::string HKLM = "HKEY_LOCAL_MACHINE";

class SearchRunTest : public SearchFixture
{
};

TEST_F(SearchRunTest, RowKindsCellsAndWalkOrder)
{
    setText(HKEY_LOCAL_MACHINE, "Software\\Acme", "", "acme default");
    setText(HKEY_LOCAL_MACHINE, "Software\\Acme", "(Standard)", "named acme");
    setText(HKEY_LOCAL_MACHINE, "Software\\Acme", "AcmeName", "plain");
    setText(HKEY_LOCAL_MACHINE, "Software\\Acme", "both acme", "ACME too");
    setValue(HKEY_LOCAL_MACHINE, "Software\\Acme", "env", REG_EXPAND_SZ, "%acme%\\bin\0"s);
    setValue(HKEY_LOCAL_MACHINE, "Software\\Acme", "multi", REG_MULTI_SZ, "alpha\0xacmex\0\0"s);
    setValue(HKEY_LOCAL_MACHINE, "Software\\Acme", "blob", REG_BINARY, "acme");
    setValue(HKEY_LOCAL_MACHINE, "Software\\Acme", "num", REG_DWORD, "acme");
    setText(HKEY_LOCAL_MACHINE, "Software\\Acme\\Sub", "x", "nothing");

    search("aCmE");

    // Equal Root cells keep the walk's order: key row, then values in enumeration
    // order (default first), then the subtree, every key below a hit a hit too. Only
    // the default value's row stands for it, not the value named "(Standard)".
    const std::vector<Row> expected = {
        {HKLM, "Software\\Acme\\", "", "", ""},
        {HKLM, "Software\\Acme\\", "(Standard)", "REG_SZ", "acme default", true},
        {HKLM, "Software\\Acme\\", "(Standard)", "REG_SZ", "named acme"},
        {HKLM, "Software\\Acme\\", "AcmeName", "", ""},
        {HKLM, "Software\\Acme\\", "both acme", "", ""},
        {HKLM, "Software\\Acme\\", "both acme", "REG_SZ", "ACME too"},
        {HKLM, "Software\\Acme\\", "env", "REG_EXPAND_SZ", "%acme%\\bin"},
        {HKLM, "Software\\Acme\\", "multi", "REG_MULTI_SZ", "alpha xacmex "},
        {HKLM, "Software\\Acme\\Sub\\", "", "", ""},
    };
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(text(form->lb6), "9 selected / 9 found");
    EXPECT_TRUE(form->Button3->isEnabled());
    EXPECT_TRUE(form->Button4->isEnabled());
}

TEST_F(SearchRunTest, KeysBelowPathsLongerThanTheCallsTakeAreFound)
{
    const std::string deep = DeepKeyPath() + "\\NeedleKey";
    TRegistry reg;
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    reg.CreatePath("\\" + deep + "\\Below");
    ASSERT_TRUE(reg.OpenPath("\\" + deep));
    reg.WriteText("needleName", "a needle");

    search("needle");

    const std::vector<Row> expected = {
        {HKLM, deep + "\\", "", "", ""},
        {HKLM, deep + "\\", "needleName", "", ""},
        {HKLM, deep + "\\", "needleName", "REG_SZ", "a needle"},
        {HKLM, deep + "\\Below\\", "", "", ""},
    };
    EXPECT_EQ(rows(), expected);
}

TEST_F(SearchRunTest, OnlyAsciiLettersFoldAndBlanksCount)
{
    setText(HKEY_LOCAL_MACHINE, "K", "a", "\xc3\xa4pfel"); // äpfel
    setText(HKEY_LOCAL_MACHINE, "K", "b", "\xc3\x84PFEL"); // ÄPFEL
    setValue(HKEY_LOCAL_MACHINE, "K", "m", REG_MULTI_SZ, "a\0b\0\0"s);
    setText(HKEY_LOCAL_MACHINE, "K", "t", "end x");

    search("\xc3\xa4"); // ä finds ä only
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "a");
    search("\xc3\x84P"); // ÄP finds ÄPFEL only, the P folded
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "b");
    search("a b"); // entries are tested one by one
    EXPECT_TRUE(rows().empty());
    search("end "); // nothing is trimmed
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "t");
    search(""); // an empty text walks everything and finds nothing
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(text(form->lb2), "9 Keys - 4 Values");
}

TEST_F(SearchRunTest, ScopeIsTheSelectedKeyOrTheRootsWithOrWithoutMirrors)
{
    setText(HKEY_LOCAL_MACHINE, "Software\\Classes\\hit", "v", "hit"); // HKCR mirrors it
    setText(HKEY_USERS, "S-1-5-21-0-0-0-1000\\hit", "v", "hit");       // HKCU mirrors it
    setText(HKEY_USERS, "Other\\hit", "v", "hit");

    const auto roots = [&] {
        std::vector<std::string> out;
        for (const Row &row : rows())
            if (out.empty() || out.back() != row.root) out.push_back(row.root);
        return out;
    };
    search("hit");
    EXPECT_EQ(roots(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"}));
    EXPECT_EQ(form->pb1->position(), 0);

    form->ckbmirr->setChecked(true);
    search("hit");
    EXPECT_EQ(roots(), (std::vector<std::string>{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                 "HKEY_LOCAL_MACHINE", "HKEY_USERS"}));

    // A selected key: only its subtree, whatever ckbmirr says; the key's own path
    // is tested as a key row.
    TTreeNode *other = form->RegTV->addNode(form->RootNodes[3], "Other", 1);
    TTreeNode *hit = form->RegTV->addNode(other, "hit", 1);
    form->RegTV->selectNode(hit);
    search("hit");
    EXPECT_EQ(rows(), (std::vector<Row>{{"HKEY_USERS", "Other\\hit\\", "", "", ""},
                                        {"HKEY_USERS", "Other\\hit\\", "v", "REG_SZ", "hit"}}));

    // A root node: that root alone, from its top; a backslash makes every key a
    // hit, the root key itself with an empty Branch.
    form->RegTV->selectNode(form->RootNodes[3]);
    search("\\");
    EXPECT_EQ(branches(),
              (std::vector<std::string>{"", ".Default\\", "Other\\", "Other\\hit\\",
                                        "S-1-5-21-0-0-0-1000\\", "S-1-5-21-0-0-0-1000\\hit\\"}));
}

TEST_F(SearchRunTest, StopDuringRunUnwindsThroughTheFirstSubkeyChain)
{
    setText(HKEY_LOCAL_MACHINE, "Stop", "v1", "1");
    setText(HKEY_LOCAL_MACHINE, "Stop", "v2", "2");
    setText(HKEY_LOCAL_MACHINE, "Stop\\A", "x", "3");
    createKey(HKEY_LOCAL_MACHINE, "Stop\\A\\A1");
    createKey(HKEY_LOCAL_MACHINE, "Stop\\B");
    createKey(HKEY_USERS, "Stop");

    bool stoppedState = false;
    soon([&] {
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        stoppedState = form->Button1->text() == "&Search" && !form->Button1->isCancel() &&
                       form->Edit1->isEnabled() && form->Edit2->isEnabled();
    });
    search("stop");
    EXPECT_TRUE(stoppedState);
    // The stop came at Stop's first value; the walk still went down A and A1.
    EXPECT_EQ(branches(), (std::vector<std::string>{"Stop\\", "Stop\\A\\", "Stop\\A\\A1\\"}));
    EXPECT_EQ(text(form->lb2), "5 Keys - 3 Values"); // Software and Classes came first
    EXPECT_EQ(text(form->lb6), "3 selected / 3 found");
    EXPECT_TRUE(form->FoundLV->header()->sectionsClickable());
    EXPECT_EQ(form->Button1->text(), "&Search");
}

TEST_F(SearchRunTest, KeysWithThirtyFiveSubkeysShowTheirPathAndProgress)
{
    for (int i = 0; i < 35; ++i)
        setText(HKEY_LOCAL_MACHINE, "Big\\S" + std::to_string(10 + i), "v", "p");
    for (int i = 0; i < 34; ++i)
        setText(HKEY_LOCAL_MACHINE, "Small\\S" + std::to_string(10 + i), "v", "p");
    struct Seen
    {
        std::string lb1;
        int max = 0;
        int position = 0;
    };
    std::vector<Seen> seen;
    std::function<void()> look = [&] {
        if (form->Button1->text() != "St&op") return;
        seen.push_back({text(form->lb1), form->pb2->max(), form->pb2->position()});
        soon(look);
    };
    soon(look);
    search("nothing");
    ASSERT_EQ(seen.size(), 69u); // one pass per value
    EXPECT_EQ(seen[0].lb1, "HKEY_LOCAL_MACHINE\\Big\\");
    EXPECT_EQ(seen[0].max, 35);
    EXPECT_EQ(seen[0].position, 0);
    EXPECT_EQ(seen[34].position, 34);
    // Small's 34 subkeys change neither: the bar stays where Big left it.
    EXPECT_EQ(seen[35].lb1, "HKEY_LOCAL_MACHINE\\Big\\");
    EXPECT_EQ(seen[68].max, 35);
    EXPECT_EQ(seen[68].position, 34);
    EXPECT_EQ(form->pb2->position(), 0); // back to 0 at the end, the maximum kept
    EXPECT_EQ(form->pb2->max(), 35);
}

TEST_F(SearchRunTest, EscapeStopsARunAndDoesNothingWhenIdle)
{
    setText(HKEY_LOCAL_MACHINE, "K1", "v", "esc");
    setText(HKEY_LOCAL_MACHINE, "K2", "v", "esc");
    form->activateWindow();
    form->FoundLV->setFocus();
    soon([&] { QTest::keyClick(form->FoundLV, Qt::Key_Escape); });
    search("esc");
    EXPECT_EQ(rows().size(), 0u); // stopped before K1's first value was tested
    EXPECT_EQ(form->Button1->text(), "&Search");

    QTest::keyClick(form->FoundLV, Qt::Key_Escape);
    EXPECT_EQ(form->Button1->text(), "&Search");
    EXPECT_TRUE(form->lb1->text().endsWith("bytes searched."));
}

TEST_F(SearchRunTest, CounterKeepsOldNumbersUntilTheFirstRowAndFocusGoesToEdit2)
{
    setText(HKEY_LOCAL_MACHINE, "K", "v", "focus");
    search("focus");
    EXPECT_EQ(text(form->lb6), "1 selected / 1 found");
    EXPECT_EQ(form->focusWidget(), form->Edit2);

    std::string atFirstStep;
    soon([&] { atFirstStep = text(form->lb6); });
    form->Edit1->setFocus();
    search("nothing matches");
    EXPECT_EQ(atFirstStep, "1 selected / 1 found");
    EXPECT_EQ(text(form->lb6), "0 selected / 0 found");
    EXPECT_FALSE(form->Button3->isEnabled());
    EXPECT_NE(form->focusWidget(), form->Edit2); // no rows: focus not moved

    form->Edit2->setText("replacement");
    form->Edit1->setFocus();
    search("focus");
    EXPECT_NE(form->focusWidget(), form->Edit2); // Edit2 not empty: focus not moved
}

TEST_F(SearchRunTest, StatisticsLineUsesTheLocale)
{
    setText(HKEY_LOCAL_MACHINE, "K", "v", "12345"); // 6 bytes with the NUL
    setValue(HKEY_LOCAL_MACHINE, "K", "b", REG_BINARY, "abcd");
    search("x");
    const QString expected = formatStatisticNumber(10.0, 0, QLocale::system());
    EXPECT_TRUE(form->lb1->text().endsWith(" sec. - " + expected + " bytes searched."))
        << text(form->lb1);
    EXPECT_EQ(text(form->lb2), "9 Keys - 2 Values");

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(statisticsTimeText(12.34, 45678901, german),
              "12,3 sec. - 45.678.901 bytes searched.");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(statisticsTimeText(0.04, 0, english), "0.0 sec. - 0 bytes searched.");
    EXPECT_EQ(formatStatisticNumber(1234.56, 1, english), "1,234.6");
    // More than eight integer digits: exponent form with eight significant digits.
    EXPECT_EQ(formatStatisticNumber(123456789.0, 0, german), "1,2345679E+08");
    EXPECT_EQ(formatStatisticNumber(99999999.0, 0, english), "99,999,999");
}

TEST_F(SearchRunTest, HandlersRunInsideTheRunAndTheListStaysConsistent)
{
    for (int i = 0; i < 30; ++i)
        setText(HKEY_LOCAL_MACHINE, "K" + std::to_string(100 + i), "v", "same");
    int clears = 0;
    int headerClicksWhileRunning = 0;
    // At every tenth pass: clear the list, select everything, try a header click.
    std::function<void()> meddle = [&] {
        if (form->Button1->text() != "St&op") return;
        ++clears;
        if (clears == 10 || clears == 20) {
            form->ClearList1Click();
            EXPECT_EQ(text(form->lb6), "0 selected / 0 found");
            EXPECT_FALSE(form->Button3->isEnabled());
        } else {
            form->SelectAll1Click();
            form->FoundLVClick();
        }
        const int before = UnitState::sortColumn;
        QTest::mouseClick(form->FoundLV->header()->viewport(), Qt::LeftButton, {},
                          QPoint(form->FoundLV->header()->sectionViewportPosition(2) + 5, 5));
        headerClicksWhileRunning += UnitState::sortColumn != before;
        soon(meddle);
    };
    soon(meddle);
    search("same");
    EXPECT_EQ(clears, 30); // one pass per value
    EXPECT_EQ(headerClicksWhileRunning, 0);
    // The second clear came just before K119's value was tested: the rows from
    // there on are all there, selected, and in walk order.
    const std::vector<std::string> seen = branches();
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen.front(), "K119\\");
    EXPECT_EQ(seen.back(), "K129\\");
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(text(form->lb6), std::to_string(seen.size()) + " selected / " +
                                   std::to_string(seen.size()) + " found");
}

TEST_F(SearchRunTest, AKeyAHandlerReplacedWhileItsValuesWereReadIsWalkedAsItIsNow)
{
    setText(HKEY_LOCAL_MACHINE, "A", "v", "same");
    // At the pass before A's value: A goes and comes again with a subkey.
    soon([&] {
        TRegistry reg;
        reg.SelectRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.DeleteTree("\\A"));
        setText(HKEY_LOCAL_MACHINE, "A\\B", "w", "same");
    });
    search("same");
    EXPECT_EQ(branches(), std::vector<std::string>{"A\\B\\"});
}

TEST_F(SearchRunTest, StartPressedWhileAStoppedRunUnwindsIsDropped)
{
    setText(HKEY_LOCAL_MACHINE, "A", "v1", "x");
    setText(HKEY_LOCAL_MACHINE, "A", "v2", "x");
    setText(HKEY_LOCAL_MACHINE, "A\\B", "v", "x");
    soon([&] {
        soon([&] {
            form->Button1->click(); // stop, at A's second value
            // "&Search" again while the walk unwinds through B: a run nested in
            // the stopped one would empty the list and walk everything again.
            soon([&] { form->Button1->click(); });
        });
    });
    search("x");
    EXPECT_EQ(rows(), (std::vector<Row>{{HKLM, "A\\", "v1", "REG_SZ", "x"}}));
    EXPECT_EQ(form->Button1->text(), "&Search");
}

// A link whose target path leads back into its own subtree (two links pointing
// at each other's keys) would make the descent endless.
void linkTo(quarnel::platform::RegKey &parent, const std::u16string &name,
            const std::u16string &target)
{
    bool created = false;
    quarnel::platform::RegKey &link = parent.addSubkey(name, created);
    link.isLink = true;
    link.setValue(u"SymbolicLinkValue", REG_LINK, utf16leBytes<std::vector<uint8_t>>(target));
}

TEST_F(SearchRunTest, LinkCyclesAndDeepKeysEndTheDescentWithANotice)
{
    const std::string notice =
        "Keys more than 512 levels below the searched key were not searched.";
    quarnel::platform::RegKey &machine = quarnel::platform::activeStore().machine();
    bool created = false;
    quarnel::platform::RegKey *deep = &machine.addSubkey(u"Deep", created);
    for (int i = 0; i < 511; ++i) // down to 512 levels below the root
        deep = &deep->addSubkey(u"k", created);
    search("\\");
    EXPECT_TRUE(boxes().empty()); // as deep as the walk goes: nothing left out
    deep->addSubkey(u"k", created);
    search("k\\");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, Dialogs::TDialogKind::Information);
    EXPECT_EQ(boxes()[0].text, notice);
    EXPECT_EQ(rows().size(), 511u);
    machine.removeSubkey(*machine.findSubkey(u"Deep"));
    harness->clearBoxes();

    createKey(HKEY_LOCAL_MACHINE, "A");
    createKey(HKEY_LOCAL_MACHINE, "B");
    linkTo(*machine.findSubkey(u"A"), u"L1", u"\\REGISTRY\\Machine\\B");
    linkTo(*machine.findSubkey(u"B"), u"L2", u"\\REGISTRY\\Machine\\A");
    search("\\");
    EXPECT_EQ(form->Button1->text(), "&Search");
    // Each cycle is walked down to the walk's own limit of 512 levels, no further.
    const int keys = UnitState::keysCounter;
    EXPECT_GT(keys, 9 + 500 + 500);
    EXPECT_LE(keys, 9 + 512 + 512);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, notice);

    machine.findSubkey(u"A")->addSubkey(u"", created);
    search("\\");
    EXPECT_EQ(UnitState::keysCounter, keys); // the empty name is neither entered nor counted
    for (const std::string &branch : branches())
        EXPECT_EQ(branch.find("\\\\"), std::string::npos) << branch;
}

TEST_F(SearchRunTest, ClosingTheWindowDuringARunEndsTheProgramAfterTheRun)
{
    setText(HKEY_LOCAL_MACHINE, "K1", "v", "c");
    setText(HKEY_LOCAL_MACHINE, "K2", "v", "c");
    form->Edit1->setText("c");
    bool runReturned = false;
    QTimer::singleShot(0, [&] {
        soon([&] { form->Button2->click(); });
        form->Button1->click();
        runReturned = true;
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    watchdog.start(20000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(runReturned);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Button1->text(), "&Search");
    EXPECT_TRUE(form->lb1->text().endsWith("bytes searched."));
}

TEST_F(SearchRunTest, DestroyingTheWindowDuringARunDoesNotCrash)
{
    setText(HKEY_LOCAL_MACHINE, "K1", "v", "c");
    setText(HKEY_LOCAL_MACHINE, "K2", "v", "c");
    auto *window = new TRegForm;
    QPointer<TRegForm> guard(window);
    window->Edit1->setText("c");
    soon([&] { delete window; });
    window->Button1->click();
    EXPECT_TRUE(guard.isNull());
}

} // namespace

TEST_F(SearchRunTest, PaintsHeldBackDuringARunComeWhenItEndsAndStopIsNotHeldBack)
{
    // The window paints at most once per gap while a run walks; input is handled
    // at every pass all the same, and what changed after the last paint is painted
    // when the run ends, not at some later event.
    for (int i = 0; i < 30; ++i)
        setText(HKEY_LOCAL_MACHINE, "K" + std::to_string(100 + i), "v", "held");
    struct Paints : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } paints;
    form->lb6->installEventFilter(&paints);
    form->Button1->installEventFilter(&paints);
    searchrun::setPaintGapNs(3'600'000'000'000); // an hour
    int passes = 0;
    std::function<void()> stopAtTheTenth = [&] {
        if (form->Button1->text() != "St&op") return;
        if (++passes == 10) QTest::mouseClick(form->Button1, Qt::LeftButton);
        soon(stopAtTheTenth);
    };
    soon(stopAtTheTenth);
    search("held");
    searchrun::setPaintGapNs(searchrun::kPaintGapNs);
    EXPECT_EQ(passes, 10);
    EXPECT_LT(rows().size(), 30u); // stopped
    EXPECT_EQ(text(form->lb6), std::to_string(rows().size()) + " selected / " +
                                   std::to_string(rows().size()) + " found");
    const int paintsOfTheRun = paints.count;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_GT(paints.count, paintsOfTheRun); // the counter and the caption as they are now
}
