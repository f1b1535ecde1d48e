// Edits from the window on a scratch copy of a Wine-written prefix: the backup
// before the first change, and a registry that takes no changes.
#include "tests/results/BulkEditFixture.h"

#include "app/RegistrySession.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "tests/wine/WineTestSupport.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Dialogs::TDialogKind;
using namespace quarnel::platform;
using namespace quarnel::test;
using Strings = std::vector<std::string>;

namespace {

const std::string kTestKey = "Software\\QuarnelSafety";

Strings entries(const std::string &folder, QDir::Filters filters)
{
    Strings names;
    for (const QString &name : QDir(QString::fromStdString(folder)).entryList(filters, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}

// Hands every change on to the registry files' own hooks; the disk fills up just
// before the `n`th change of one kind is journaled: in the middle of a key's move
// (a key deletion) or of a value's rename (a value deletion).
class DiskFullAt : public StoreHooks
{
public:
    DiskFullAt(StoreHooks &files, std::string journal, StoreChange kind, int n)
        : m_files(files), m_journal(std::move(journal)), m_kind(kind), m_left(n)
    {
    }
    long beforeChange(const RegKey &key) override { return m_files.beforeChange(key); }
    long recordChange(const RegKey &key, const PendingChange &change) override
    {
        if (change.kind == m_kind && --m_left == 0) {
            rlimit full{};
            getrlimit(RLIMIT_FSIZE, &full);
            full.rlim_cur = rlim_t(std::filesystem::file_size(m_journal));
            setrlimit(RLIMIT_FSIZE, &full);
        }
        return m_files.recordChange(key, change);
    }

private:
    StoreHooks &m_files;
    std::string m_journal;
    StoreChange m_kind;
    int m_left;
};

} // namespace

class SafetyNetTest : public BulkEditTest
{
protected:
    void TearDown() override { quarnel::platform::closeRegistry(); }

    // A scratch prefix whose files hold the test key with a subkey and values.
    std::string prefixWithTestKey()
    {
        const std::string prefix = scratchPrefix();
        EXPECT_EQ(quarnel::platform::openRegistryAt(prefix, true).status,
                  RegistryOpened::Status::Ok);
        setText(kTestKey + "\\Sub", "v", "x");
        setText(kTestKey, "w", "y");
        EXPECT_EQ(quarnel::platform::closeRegistry(), "");
        // The set-up's own backup.
        std::system(("rm -rf '" + prefix + "/quarnel-backups'").c_str());
        return prefix;
    }

    // With the registry of `prefix` open: the test key with 300 subkeys deleted from
    // the result list. Returns the registry before the delete.
    std::string deleteTheTestKeyTree(const std::string &prefix)
    {
        EXPECT_EQ(quarnel::platform::openRegistryAt(prefix, true).status,
                  RegistryOpened::Status::Ok);
        for (int i = 0; i < 300; ++i)
            setText(kTestKey + "\\Sub\\k" + std::to_string(i), "v", "x");
        const std::string before = registry();
        addKeyRow(kTestKey + "\\");
        selectAll();
        clickDelete();
        EXPECT_FALSE(hasKey(kTestKey));
        return before;
    }

    // Deletes the key `names` below the root at `root` (RootTable's order) in the
    // browser, as the Delete key in the tree does.
    void deleteInBrowser(int root, const Strings &names)
    {
        TTreeNode *node = form().RootNodes[std::size_t(root)];
        for (const std::string &name : names) {
            form().RegTV->expandNode(node);
            TTreeNode *next = nullptr;
            for (int i = 0; i < node->childCount(); ++i)
                if (node->child(i)->name() == name) next = node->child(i);
            ASSERT_NE(next, nullptr) << name;
            node = next;
        }
        form().RegTV->selectNode(node);
        form().RegTVKeyUp(Qt::Key_Delete, {});
    }

    // The undo file the newest edit wrote, found as the one that was not there before.
    static std::string newUndoFile(const Strings &before)
    {
        for (const std::string &name : undoFiles())
            if (std::find(before.begin(), before.end(), name) == before.end())
                return quarnel::platform::safetyFolder() + "/undo/" + name;
        return {};
    }
};

TEST_F(SafetyNetTest, NoBackupNoChangeThenBackupEditAndUndo)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    const std::string folder = prefix + "/quarnel-backups";
    writeFile(folder, "in the way"); // no folder can be made there
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string before = registry();
    const std::string userReg = readFile(prefix + "/user.reg");
    addKeyRow(kTestKey + "\\");
    addNameRow(kTestKey + "\\", "w");
    selectAll();

    clickDelete();
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "Delete selected Keys?");
    EXPECT_EQ(boxes()[1].kind, TDialogKind::Error);
    EXPECT_NE(boxes()[1].text.find("cannot back up"), std::string::npos) << boxes()[1].text;
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(selectedCount(), 2);
    EXPECT_EQ(readFile(prefix + "/user.reg"), userReg);

    // With room for it, the backup comes first: the files as they were.
    ASSERT_EQ(std::remove(folder.c_str()), 0);
    clearBoxes();
    clickDelete();
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey(kTestKey));
    const Strings made = entries(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(made.size(), 2u) << "one backup and undo/";
    EXPECT_EQ(readFile(folder + "/" + made[0] + "/user.reg"), userReg);
    ASSERT_EQ(undoFiles().size(), 1u);
    EXPECT_NE(undoFiles()[0].find("-delete.reg"), std::string::npos);

    pressUndo();
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
}

TEST_F(SafetyNetTest, ReadOnlyRegistryRefusesEachEditOnceBeforeAnyQuestion)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    writeFile(prefix + "/userdef.reg", "not a registry file\n");
    const RegistryOpened opened = quarnel::platform::openRegistryAt(prefix, true);
    ASSERT_EQ(opened.status, RegistryOpened::Status::ReadOnly);
    const std::string before = registry();
    addKeyRow(kTestKey + "\\");
    for (int i = 0; i < 100; ++i)
        addNameRow(kTestKey + "\\", "v" + std::to_string(i));
    selectAll();
    const auto refusedOnce = [&](const char *edit) {
        ASSERT_EQ(boxes().size(), 1u) << edit;
        EXPECT_EQ(boxes()[0].kind, TDialogKind::Error) << edit;
        EXPECT_EQ(boxes()[0].text, opened.message) << edit;
        clearBoxes();
    };

    clickDelete();
    refusedOnce("delete");
    clickReplace("Quarnel", "Other");
    refusedOnce("replace");
    TTreeView *tree = form().RegTV;
    TTreeNode *node = form().RootNodes[1];
    for (const char *name : {"Software", "QuarnelSafety"}) {
        tree->expandNode(node);
        TTreeNode *next = nullptr;
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->name() == name) next = node->child(i);
        ASSERT_NE(next, nullptr) << name;
        node = next;
    }
    tree->selectNode(node);
    form().RegTVKeyUp(Qt::Key_Delete, {});
    refusedOnce("key deletion");
    form().RegLV->setRowSelected(1, true);
    form().RegLVKeyUp(Qt::Key_Delete, {});
    refusedOnce("value deletion");

    EXPECT_EQ(registry(), before);
    EXPECT_EQ(rows().size(), 101u);
    EXPECT_EQ(selectedCount(), 101);
    EXPECT_FALSE(QDir(QString::fromStdString(prefix + "/quarnel-backups")).exists());
}

// A journal that stops taking records midway: one box says why, and only what was
// done leaves the list; everything reported done is in the files.
TEST_F(SafetyNetTest, AJournalThatCannotBeWrittenStopsADeleteOrAReplaceWithOneBox)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    constexpr int kRows = 20;
    for (int i = 0; i < kRows; ++i) {
        setText(kTestKey, "v" + std::to_string(i), "x");
        addNameRow(kTestKey + "\\", "v" + std::to_string(i));
    }
    selectAll();
    struct stat journal
    {
    };
    ASSERT_EQ(::stat((prefix + "/quarnel.journal").c_str(), &journal), 0);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit room = before;
    room.rlim_cur = rlim_t(journal.st_size) + 300; // a few records, far fewer than the rows
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &room), 0);
    clickDelete();
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, oldHandler);

    const Strings errors = boxTexts(TDialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("journal"), std::string::npos) << errors[0];
    int gone = 0;
    for (int i = 0; i < kRows; ++i)
        gone += hasValue(kTestKey, "v" + std::to_string(i)) ? 0 : 1;
    EXPECT_GT(gone, 0);
    EXPECT_LT(gone, kRows);
    EXPECT_EQ(lb1Text(), std::to_string(gone) + " items deleted (maybe with subkeys)");
    EXPECT_EQ(int(rows().size()), kRows - gone);
    EXPECT_EQ(selectedCount(), 0);

    // What was reported done is what the files hold after a fresh start.
    EXPECT_EQ(quarnel::platform::closeRegistry(), "");
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    int goneOnDisk = 0;
    for (int i = 0; i < kRows; ++i)
        goneOnDisk += hasValue(kTestKey, "v" + std::to_string(i)) ? 0 : 1;
    EXPECT_EQ(goneOnDisk, gone);

    // A replace whose second move finds the disk full as it deletes the old key.
    model().clear();
    clearBoxes();
    const auto key = [](const char *name, int i) {
        return kTestKey + "\\" + name + std::to_string(i);
    };
    for (int i = 0; i < kRows; ++i) {
        setText(key("Foo", i), "v", "x");
        addKeyRow(key("Foo", i) + "\\");
    }
    selectAll();
    const std::string beforeReplace = registry();
    StoreHooks &files = activeStore().hooks(); // kept alive by the registry files
    const auto replaceUntilTheDiskIsFull = [&](StoreChange kind) {
        activeStore().setHooks(
            std::make_shared<DiskFullAt>(files, prefix + "/quarnel.journal", kind, 2));
        signal(SIGXFSZ, SIG_IGN);
        clickReplace("foo", "Bar");
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, oldHandler);
    };
    replaceUntilTheDiskIsFull(StoreChange::SubkeyDeleted);

    const Strings refused = boxTexts(TDialogKind::Error);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("journal"), std::string::npos) << refused[0];
    EXPECT_EQ(boxTexts(TDialogKind::ErrorDisplay), Strings{});
    EXPECT_FALSE(hasKey(key("Foo", 0)));
    EXPECT_TRUE(hasValue(key("Bar", 0), "v"));
    // The move cut short goes back whole: the old key as it was, no copy; the rest are untouched.
    EXPECT_TRUE(hasValue(key("Foo", 1), "v") && !hasKey(key("Bar", 1)));
    for (int i = 2; i < kRows; ++i)
        EXPECT_TRUE(hasKey(key("Foo", i)) && !hasKey(key("Bar", i))) << i;
    EXPECT_EQ(lb1Text(), "1 items replaced");
    EXPECT_EQ(int(rows().size()), kRows - 1);
    EXPECT_EQ(selectedCount(), 0);
    pressUndo();
    EXPECT_EQ(registry(), beforeReplace);

    // Cut short among the renames: a row whose key the moves would have renamed stays
    // listed, though its value was renamed; the rename cut short goes back whole.
    model().clear();
    clearBoxes();
    setText(key("Foo", 0), "foo", "x");
    setText(key("Foo", 0), "foo2", "x");
    addNameRow(key("Foo", 0) + "\\", "foo");
    addNameRow(key("Foo", 0) + "\\", "foo2");
    addKeyRow(key("Foo", 1) + "\\");
    selectAll();
    replaceUntilTheDiskIsFull(StoreChange::ValueDeleted);
    EXPECT_EQ(boxTexts(TDialogKind::Error).size(), 1u);
    EXPECT_TRUE(hasValue(key("Foo", 0), "Bar") && !hasValue(key("Foo", 0), "foo"));
    EXPECT_TRUE(hasValue(key("Foo", 0), "foo2") && !hasValue(key("Foo", 0), "Bar2"));
    EXPECT_EQ(lb1Text(), "1 items replaced");
    EXPECT_EQ(rows().size(), 3u);

    // Rows done before the stop leave the list, also those listed after where it
    // stopped: here a data row, replaced in the first pass.
    model().clear();
    clearBoxes();
    const std::string plain = kTestKey + "\\Plain";
    setText(plain, "foo3", "x");
    setText(plain, "foo4", "x");
    setText(plain, "text", "a foo");
    addNameRow(plain + "\\", "foo3");
    addNameRow(plain + "\\", "foo4");
    addDataRow(plain + "\\", "text", "REG_SZ", "a foo");
    selectAll();
    replaceUntilTheDiskIsFull(StoreChange::ValueDeleted);
    EXPECT_EQ(boxTexts(TDialogKind::Error).size(), 1u);
    EXPECT_EQ(valueBytes(plain, "text"), std::string("a Bar\0", 6));
    EXPECT_EQ(lb1Text(), "2 items replaced");
    EXPECT_EQ(rows().size(), 1u);

    // The second of two moves cannot copy its value: that error ends the replace, as
    // every registry error does, in one box with the journal's cause first.
    model().clear();
    clearBoxes();
    for (int i : {7, 8}) {
        setText(key("Foo", i), "v", "x");
        addKeyRow(key("Foo", i) + "\\");
    }
    selectAll();
    replaceUntilTheDiskIsFull(StoreChange::ValueSet);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    const Strings shown = boxTexts(TDialogKind::ErrorDisplay);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Quarnel cannot write to its journal", 0), 0u) << shown[0];
    EXPECT_TRUE(shown[0].ends_with("\nFehler beim Setzen der Daten f\xC3\xBCr 'v'")) << shown[0];
}

// An undo the disk cannot take is one unit: nothing of it stays, one short box says
// so, and the edit stays in the history to be tried again once there is room.
TEST_F(SafetyNetTest, AnUndoThatCannotBeJournaledChangesNothingAndCanBeTriedAgain)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    const std::string before = deleteTheTestKeyTree(prefix);
    const std::string deleted = registry();

    struct stat journal
    {
    };
    ASSERT_EQ(::stat((prefix + "/quarnel.journal").c_str(), &journal), 0);
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit room = unlimited;
    room.rlim_cur = rlim_t(journal.st_size) + 2000; // a few of the keys the undo makes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &room), 0);
    clearBoxes();
    pressUndo();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(registry(), deleted);
    const Strings errors = boxTexts(TDialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    // The cause first, then the list, cut short.
    EXPECT_EQ(errors[0].rfind("Quarnel cannot write to its journal", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("\n\rThe undo failed, so nothing was undone;"), std::string::npos)
        << errors[0];
    EXPECT_LE(std::count(errors[0].begin(), errors[0].end(), '\n'), 10) << errors[0];
    EXPECT_NE(errors[0].find(" more"), std::string::npos) << errors[0];
    EXPECT_EQ(lb1Text().find("Undone"), std::string::npos) << lb1Text();

    clearBoxes();
    pressUndo();
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(registry(), before);
}

// A key renamed in the tree on a full disk (its values copied, then the old key
// deleted) is told in one box, its cause first, not in the journal's notice and an
// error display besides; nothing is renamed, and nothing is listed to undo.
TEST_F(SafetyNetTest, AFullDiskIsToldInOneBoxItsCauseFirst)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    ASSERT_EQ(backupBeforeFirstChange(), "");
    ASSERT_EQ(form().GoToKey("HKEY_CURRENT_USER\\" + kTestKey), "");
    const Strings undoBefore = undoFiles();
    const std::string before = registry();
    StoreHooks &files = activeStore().hooks(); // kept alive by the registry files
    activeStore().setHooks(
        std::make_shared<DiskFullAt>(files, prefix + "/quarnel.journal", StoreChange::ValueSet, 1));
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    clearBoxes();
    QTest::keyClick(form().RegTV, Qt::Key_F2);
    auto *field = form().findChild<QLineEdit *>("InPlaceName");
    ASSERT_NE(field, nullptr);
    field->setText("Renamed");
    QTest::keyClick(field, Qt::Key_Return);
    WindowHarness::processEvents();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(boxes().size(), 1u);
    const Strings errors = boxTexts(TDialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Quarnel cannot write to its journal", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("\n\rnot renamed: HKEY_CURRENT_USER\\" + kTestKey), std::string::npos)
        << errors[0];
    EXPECT_EQ(takeRegistryNotice(), ""); // the idle timer has nothing left to show
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(undoFiles(), undoBefore);
}

// Killed in the middle of Ctrl+Z: the next start applies none of the undo, says so
// naming its undo file, and offers to apply it again.
TEST_F(SafetyNetTest, AnUndoCutShortIsOfferedAgainAtTheNextStart)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    const std::string before = deleteTheTestKeyTree(prefix);
    const std::string deleted = registry();
    ASSERT_EQ(undoFiles().size(), 1u);
    const std::string undoFile = safetyFolder() + "/undo/" + undoFiles()[0];
    ASSERT_EQ(quarnel::platform::closeRegistry(), "");

    const std::string journal = prefix + "/quarnel.journal";
    const pid_t pid = fork();
    if (pid == 0) {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
        StoreHooks &files = activeStore().hooks();
        activeStore().setHooks(
            killAtJournalSize(files, journal, std::filesystem::file_size(journal) + 3000));
        pressUndo();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    clearBoxes();
    ASSERT_EQ(setenv("WINEPREFIX", prefix.c_str(), 1), 0);
    {
        RegistrySession session;
        EXPECT_EQ(registry(), deleted);
        session.showOpeningMessage();
        EXPECT_EQ(registry(), before);
    }
    unsetenv("WINEPREFIX");
    const Strings said = boxTexts(TDialogKind::Information);
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("ended in the middle of the undo of \"1 items deleted\""),
              std::string::npos)
        << said[0];
    EXPECT_NE(said[0].find(undoFile), std::string::npos) << said[0];
    EXPECT_EQ(boxTexts(TDialogKind::Confirmation),
              Strings{"Apply the undo from " + undoFile + " again now?"});
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
}

// A link deleted in the browser comes back as a link, in memory and in the files; a
// key that only looks like one (a "SymbolicLinkValue" and keys of its own) whole.
TEST_F(SafetyNetTest, BrowserDeletionsOfALinkAndOfALookalikeAreUndoneExactly)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    std::string target;
    for (char c : std::string("\\REGISTRY\\Machine\\Software\\Microsoft"))
        target += {c, '\0'};
    setValue(kTestKey + "\\fakeparent\\fakelink", "SymbolicLinkValue", target, TValueKind::vkLink);
    setText(kTestKey + "\\fakeparent\\fakelink\\child1", "c", "1");
    makeKey(kTestKey + "\\fakeparent\\fakelink\\child2\\grand");
    const std::string before = registry();
    const std::string zones = "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
    ASSERT_NE(before.find("\\" + zones + " (link)\n"), std::string::npos);

    deleteInBrowser(2, {"Software", "Microsoft", "Windows", "CurrentVersion", "Time Zones"});
    deleteInBrowser(1, {"Software", "QuarnelSafety", "fakeparent"});
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey(zones, HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(hasKey(kTestKey + "\\fakeparent"));
    pressUndo(form().RegTV);
    pressUndo(form().RegTV);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(quarnel::platform::closeRegistry(), "");
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(registry(), before);
}

// Key names with line breaks come back; an undo that fails says so and stays for
// another Ctrl+Z; renames that move a key where another was come back unmixed.
TEST_F(SafetyNetTest, UndoOfLineBreaksInNamesAndOfChainedRenamesIsExactAndAFailureIsKept)
{
    REQUIRE_PREFIX();
    const std::string prefix = prefixWithTestKey();
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    setText(kTestKey + "\\Breaks\\new\nline", "v", "lf");
    setText(kTestKey + "\\Breaks\\cr\rkey\\below", "v", "cr");
    const std::string before = registry();
    addKeyRow(kTestKey + "\\Breaks\\");
    selectAll();
    Strings files = undoFiles();
    clickDelete();
    ASSERT_FALSE(hasKey(kTestKey + "\\Breaks"));
    const std::string undoFile = newUndoFile(files);
    const std::string record = readFile(undoFile);

    // A file our reader rejects changes nothing, and the edit stays in the history.
    writeFile(undoFile, "not an undo file");
    clearBoxes();
    pressUndo();
    ASSERT_EQ(boxTexts(TDialogKind::Error).size(), 1u);
    EXPECT_NE(boxTexts(TDialogKind::Error)[0].find("nothing was changed"), std::string::npos);
    EXPECT_EQ(lb1Text(), "Not undone: 1 items deleted");
    EXPECT_FALSE(hasKey(kTestKey + "\\Breaks"));
    writeFile(undoFile, record);
    clearBoxes();
    pressUndo();
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(lb1Text(), "Undone: 1 items deleted");
    EXPECT_EQ(registry(), before);

    const std::string rot2 = kTestKey + "\\rot2\\";
    setText(rot2 + "Xzork", "shared", "C");
    setText(rot2 + "Xzork", "only_in_C", "C");
    setText(rot2 + "Xzorkzork", "shared", "D");
    setText(rot2 + "Xzorkzork", "only_in_D", "D");
    makeKey(rot2 + "Xzorkzork\\DSub");
    const std::string beforeReplace = registry();
    model().clear();
    addKeyRow(rot2 + "Xzork\\");
    addKeyRow(rot2 + "Xzorkzork\\");
    selectAll();
    clickReplace("zork", "");
    ASSERT_TRUE(hasValue(rot2 + "X", "only_in_C"));
    ASSERT_TRUE(hasValue(rot2 + "Xzork", "only_in_D"));
    pressUndo();
    EXPECT_EQ(lb1Text(), "Undone: 2 items replaced");
    EXPECT_EQ(registry(), beforeReplace);
}
