// The History window on a scratch copy of a Wine-written prefix: edits of an
// earlier run taken back, several at once, redone; a backup restored over
// unsaved changes. Each state compared value for value with the one expected.
#include "tests/results/BulkEditFixture.h"

#include "app/HistoryWindow.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/undo/UndoFiles.h"
#include "registry/wine/ServerLock.h"
#include "tests/wine/WineTestSupport.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeNode.h"
#include "widgets/TTreeView.h"

#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using Dialogs::TDialogKind;
using namespace quarnel::platform;
using namespace quarnel::test;
using Strings = std::vector<std::string>;

namespace {

const std::string kTestKey = "Software\\QuarnelHistory";

Strings column(const QTreeWidget *view, int col)
{
    Strings texts;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        texts.push_back(view->topLevelItem(i)->text(col).toStdString());
    return texts;
}

} // namespace

class HistoryTest : public BulkEditTest
{
protected:
    void TearDown() override { closeRegistry(); }

    // A scratch prefix whose files hold the test key with a subkey and values,
    // without the set-up's backup.
    std::string prefixWithTestKey()
    {
        const std::string prefix = scratchPrefix();
        EXPECT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
        setText(kTestKey + "\\Sub", "v", "x");
        setValue(kTestKey + "\\Sub", "empty", "", TValueKind::vkBinary);
        setText(kTestKey, "w", "y");
        setText(kTestKey, "keep", "z");
        EXPECT_EQ(closeRegistry(), "");
        std::filesystem::remove_all(prefix + "/quarnel-backups");
        return prefix;
    }

    // Opened as the user does: "History…" in the Registry menu (Ctrl+H).
    HistoryWindow &history()
    {
        QAction *action = form().HistoryAction;
        EXPECT_TRUE(form().RegistryMenu->actions().contains(action));
        EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        WindowHarness::trigger(action);
        auto *window = form().findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    // Selects row `row` of the list and clicks the button.
    void clickOn(QTreeWidget *view, int row, QPushButton *button)
    {
        view->setCurrentItem(view->topLevelItem(row));
        ASSERT_TRUE(button->isEnabled());
        WindowHarness::click(button);
    }
};

TEST_F(HistoryTest, EditsOfAnEarlierRunAreTakenBackSeveralAtOnceAndRedoneInTurn)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string state0 = registry();
    ASSERT_EQ(closeRegistry(), "");

    // The earlier run: another process with a window of its own, whose Ctrl+Z
    // history ends with it.
    const pid_t pid = fork();
    if (pid == 0) {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
        addKeyRow(kTestKey + "\\Sub\\");
        selectAll();
        clickDelete();
        model().clear();
        addNameRow(kTestKey + "\\", "w");
        selectAll();
        clickReplace("w", "renamed");
        const bool written = undoFiles().size() == 2;
        _exit(closeRegistry().empty() && written ? 0 : 3);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string state2 = registry();
    ASSERT_FALSE(hasKey(kTestKey + "\\Sub"));
    ASSERT_TRUE(hasValue(kTestKey, "renamed"));
    pressUndo();
    EXPECT_EQ(boxTexts(TDialogKind::Information), Strings{"Nothing to undo"}); // not this run's
    clearBoxes();

    // Undo on the older edit takes back both, newest first, after one question.
    HistoryWindow &window = history();
    EXPECT_EQ(column(window.changes(), 1), (Strings{"1 items replaced", "1 items deleted"}));
    clickOn(window.changes(), 1, window.undoButton());
    const Strings asked = boxTexts(TDialogKind::Confirmation);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_LT(asked[0].find("1 items replaced"), asked[0].find("1 items deleted")) << asked[0];
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(registry(), state0);
    EXPECT_EQ(column(window.changes(), 1),
              (Strings{"undo of 1 items deleted", "undo of 1 items replaced", "1 items replaced",
                       "1 items deleted"}));
    EXPECT_EQ(column(window.changes(), 2), (Strings{"", "", "taken back", "taken back"}));
    EXPECT_FALSE(window.undoButton()->isEnabled()); // row 1 stays selected, taken back now
    EXPECT_TRUE(UndoFiles::undoable(safetyFolder()).empty());

    // Redo gives back the edits in their order; Ctrl+Z takes back the redo.
    // Ctrl+Y, or Ctrl+Shift+Z, in the result list.
    const auto redo = [&](bool shiftZ = false) {
        clearBoxes();
        form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
        WindowHarness::key(form().FoundLV, shiftZ ? Qt::Key_Z : Qt::Key_Y,
                           shiftZ ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    };
    redo();
    EXPECT_EQ(lb1Text(), "Redone: 1 items deleted");
    EXPECT_FALSE(hasKey(kTestKey + "\\Sub"));
    EXPECT_TRUE(hasValue(kTestKey, "w"));
    const std::string state1 = registry();
    redo(true);
    EXPECT_EQ(registry(), state2);
    redo();
    EXPECT_EQ(boxTexts(TDialogKind::Information), Strings{"Nothing to redo"});
    pressUndo();
    EXPECT_EQ(lb1Text(), "Undone: redo of 1 items replaced");
    EXPECT_EQ(registry(), state1);
    redo();
    EXPECT_EQ(registry(), state2);

    // A new edit ends the redo chain.
    pressUndo();
    ASSERT_EQ(registry(), state1);
    model().clear();
    addNameRow(kTestKey + "\\", "keep");
    selectAll();
    clickDelete();
    const std::string state3 = registry();
    redo();
    EXPECT_EQ(boxTexts(TDialogKind::Information), Strings{"Nothing to redo"});
    EXPECT_EQ(registry(), state3);

    // What the window shows is what the files hold.
    EXPECT_EQ(closeRegistry(), "");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(registry(), state3);
}

TEST_F(HistoryTest, RestoringABackupSavesAndBacksUpUnsavedChangesFirstThenReopens)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string state0 = registry();
    addKeyRow(kTestKey + "\\Sub\\");
    selectAll();
    clickDelete(); // the session's backup: state0
    setText(kTestKey, "unsaved", "only in the journal");
    const std::string now = registry();
    ASSERT_NE(now, state0);
    addKeyRow(kTestKey + "\\");
    TTreeNode *hkcu = form().RootNodes[1];
    form().RegTV->expandNode(hkcu);
    ASSERT_GT(hkcu->childCount(), 0);

    HistoryWindow &window = history();
    ASSERT_EQ(window.backups()->topLevelItemCount(), 1);
    clearBoxes();
    clickOn(window.backups(), 0, window.restoreButton());
    ASSERT_EQ(boxTexts(TDialogKind::Confirmation).size(), 1u);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(registry(), state0);
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(hkcu->childCount(), 0); // loaded afresh when opened
    EXPECT_FALSE(form().RegTV->isNodeExpanded(hkcu));

    // The backup made first holds the registry as it was, unsaved change included.
    const std::vector<BackupListed> backups = listBackups();
    ASSERT_EQ(backups.size(), 2u);
    EXPECT_EQ(window.backups()->topLevelItemCount(), 2);
    EXPECT_EQ(closeRegistry(), "");
    const std::string copy = scratchPrefix();
    for (const char *file : {"system.reg", "user.reg", "userdef.reg"})
        writeFile(copy + "/" + file, readFile(backups[0].folder + "/" + file));
    ASSERT_EQ(openRegistryAt(copy, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(registry(), now);
    EXPECT_EQ(closeRegistry(), "");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(registry(), state0);
    EXPECT_EQ(closeRegistry(), "");

    // A registry that takes no changes is not restored either: one box, no question.
    writeFile(prefix + "/userdef.reg", "not a registry file\n");
    const std::string userReg = readFile(prefix + "/user.reg");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::ReadOnly);
    clearBoxes();
    window.refresh();
    clickOn(window.backups(), 1, window.restoreButton());
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxTexts(TDialogKind::Error).size(), 1u);
    EXPECT_EQ(readFile(prefix + "/user.reg"), userReg);
}

// An edit whose keys changed since cannot be taken back whole: nothing of its
// undo stays, the box names the item, and the edit stays listed to be tried again.
TEST_F(HistoryTest, AnEditThatCannotBeTakenBackWholeNamesTheItemAndChangesNothing)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string zones = "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
    TTreeNode *node = form().RootNodes[2];
    for (const char *name : {"Software", "Microsoft", "Windows", "CurrentVersion", "Time Zones"}) {
        form().RegTV->expandNode(node);
        TTreeNode *next = nullptr;
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->name() == name) next = node->child(i);
        ASSERT_NE(next, nullptr) << name;
        node = next;
    }
    form().RegTV->selectNode(node);
    form().RegTVKeyUp(Qt::Key_Delete, {}); // the link
    ASSERT_FALSE(hasKey(zones, HKEY_LOCAL_MACHINE));
    makeKey(zones, HKEY_LOCAL_MACHINE); // an ordinary key where the link was
    setText(kTestKey, "later", "1");
    const std::string changed = registry();
    model().clear();
    addNameRow(kTestKey + "\\", "later");
    selectAll();
    clickDelete();

    HistoryWindow &window = history();
    ASSERT_EQ(window.changes()->topLevelItemCount(), 2);
    clearBoxes();
    clickOn(window.changes(), 1, window.undoButton());
    const Strings errors = boxTexts(TDialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("cannot be taken back whole"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("not restored as a link: HKEY_LOCAL_MACHINE\\" + zones),
              std::string::npos)
        << errors[0];
    // The newer edit was taken back first; the failed one left nothing behind.
    EXPECT_EQ(registry(), changed);
    EXPECT_EQ(column(window.changes(), 2), (Strings{"", "taken back", ""}));
    EXPECT_EQ(undoFiles().size(), 3u);
}

// The limits come from the settings file; the History window applies them as it
// opens: too old, then the oldest beyond the size, never this run's undo files.
TEST_F(HistoryTest, TheSettingsFileBoundsTheUndoFilesWhenTheHistoryOpens)
{
    QTemporaryDir home;
    const std::string config = home.path().toStdString();
    std::filesystem::create_directories(config + "/quarnel");
    writeFile(config + "/quarnel/settings.json",
              R"({"history": {"undoDays": 2, "undoMegabytes": 1}})");
    const char *oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keptConfig = oldConfig ? oldConfig : "";
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", config.c_str(), 1), 0);

    const std::string undo = safetyFolder() + "/undo";
    std::filesystem::create_directories(undo);
    const auto file = [&](double daysAgo, std::size_t bytes) {
        const std::time_t when = std::time(nullptr) - std::time_t(daysAgo * 24 * 3600);
        std::tm tm{};
        gmtime_r(&when, &tm);
        char name[64];
        std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S-delete.reg", &tm);
        writeFile(undo + "/" + name,
                  "Windows Registry Editor Version 5.00\r\n" + std::string(bytes, ';'));
        return std::string(name);
    };
    file(5, 10);                                  // past the age
    file(1.5, 2 << 20);                           // the oldest beyond the size
    const std::string recent = file(1, 10);       // kept
    const std::string big = file(0.5, 900 << 10); // kept: the two fit the megabyte
    setText(kTestKey, "v", "x");                  // this run's edit
    addNameRow(kTestKey + "\\", "v");
    selectAll();
    clickDelete();
    Strings files = undoFiles();
    ASSERT_EQ(files.size(), 5u);
    const std::string own = files.back();

    history();
    files = undoFiles();
    EXPECT_EQ(files, (Strings{recent, big, own}));

    if (oldConfig)
        setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

// A Wine started on the prefix after Quarnel opened it (under another TMPDIR, so
// it never met our lock) would write its own view over restored files later.
TEST_F(HistoryTest, ARestoreIsRefusedWhileWineRunsOnThePrefix)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    addKeyRow(kTestKey + "\\");
    setText(kTestKey, "v", "x");
    selectAll();
    clickDelete(); // a backup to restore
    EXPECT_EQ(flushRegistryIfIdle(0), "");
    const std::string userReg = readFile(prefix + "/user.reg");
    QTemporaryDir otherTmp;
    const std::string env = "TMPDIR=" + otherTmp.path().toStdString() + " ";
    ASSERT_EQ(runInPrefix(prefix, env + "wineserver -p </dev/null >/dev/null 2>&1"), 0);
    bool running = false;
    for (int i = 0; i < 100 && !running; ++i) {
        running = quarnel::platform::wine::runningWineServer(prefix) != 0;
        if (!running) QTest::qWait(50);
    }

    HistoryWindow &window = history();
    clearBoxes();
    if (running) clickOn(window.backups(), 0, window.restoreButton());
    runInPrefix(prefix, env + "wineserver -k; " + env + "wineserver -w");
    ASSERT_TRUE(running);
    const Strings errors = boxTexts(TDialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Wine runs on the prefix " + prefix), std::string::npos) << errors[0];
    EXPECT_EQ(readFile(prefix + "/user.reg"), userReg);
    EXPECT_EQ(listBackups().size(), 1u); // no backup made for a restore that did not happen
}
