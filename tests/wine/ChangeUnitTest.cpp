// A compound change (a key tree deleted, a key moved, an undo) reaches the
// registry whole or not at all: not when the process is killed in its middle,
// nor when the disk fills up while it is journaled.
#include "tests/wine/SyncPoints.h"
#include "tests/wine/WineTestSupport.h"

#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/undo/SafetyNet.h"
#include "registry/undo/TakeBack.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"
#include "registry/undo/UndoFiles.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/RegText.h"
#include "registry/wine/Journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarnel::platform;
using namespace quarnel::test;

namespace {

constexpr int kSubkeys = 1500;

// HKEY_CURRENT_USER\Software\<name> as the store holds it, or "" when it is missing.
std::string treeText(const std::u16string &name)
{
    KeyStore &store = activeStore();
    const RegKey *user = store.users().findSubkey(store.currentUserSid);
    const RegKey *software = user ? user->findSubkey(u"Software") : nullptr;
    const RegKey *top = software ? software->findSubkey(name) : nullptr;
    std::string out;
    std::vector<std::pair<const RegKey *, std::string>> todo;
    if (top) todo.push_back({top, bytesFromUtf16(name)});
    while (!todo.empty()) {
        const auto [key, path] = todo.back();
        todo.pop_back();
        out += path + (key->isLink ? " (link)\n" : "\n");
        for (const ValueRef v : key->values) {
            const auto bytes = v.dataCopy();
            out += "  " + bytesFromUtf16(v.name()) + "=" + std::string(bytes.begin(), bytes.end()) +
                   "\n";
        }
        for (const auto &child : key->subkeys)
            todo.push_back({child.get(), path + "\\" + bytesFromUtf16(child->name())});
    }
    return out;
}

std::string state()
{
    return treeText(u"HrBulk") + "|" + treeText(u"HrMoved");
}

uint64_t journalSize(const std::string &prefix)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(prefix + "/quarnel.journal", ec);
    return ec ? 0 : size;
}

struct Op
{
    const char *name;
    const char *cutShort; // what the next start says was cut short
    std::function<bool(const std::string &prefix)> run;
};

class ChangeUnitTest : public ::testing::Test
{
protected:
    void TearDown() override { closeRegistry(); }

    // A prefix whose user hive holds HrBulk (subkeys with values) and an undo file
    // that brings HrBulk back after it was deleted.
    void SetUp() override
    {
        if (freshPrefix().empty()) return;
        m_template = scratchPrefix();
        ASSERT_EQ(openRegistryAt(m_template, true).status, RegistryOpened::Status::Ok);
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        for (int i = 0; i < kSubkeys; ++i) {
            ASSERT_TRUE(reg.OpenPath("\\Software\\HrBulk\\sub" + std::to_string(i)) ||
                        reg.CreatePath("\\Software\\HrBulk\\sub" + std::to_string(i)));
            ASSERT_TRUE(reg.OpenPath("\\Software\\HrBulk\\sub" + std::to_string(i)));
            reg.WriteText("v", "value " + std::to_string(i));
        }
        UndoCapture capture;
        capture.captureKey("HKEY_CURRENT_USER", "Software\\HrBulk");
        writeFile(m_template + "/bring-back.reg", capture.file().write());
        ASSERT_EQ(closeRegistry(), "");
    }

    // A copy of the template, opened by nobody.
    std::string copyOfTemplate()
    {
        const std::string copy = scratchPrefix();
        std::system(("cp -a '" + m_template + "/.' '" + copy + "/'").c_str());
        return copy;
    }

    // Runs `op` on `prefix`, a copy of `base`, in a child killed at its `n`th sync
    // point. False when it ran to its end before that.
    static bool killedAt(int n, const std::string &base, std::string &prefix,
                         const std::function<bool(const std::string &)> &op)
    {
        prefix = scratchPrefix();
        std::system(("cp -a '" + base + "/.' '" + prefix + "/'").c_str());
        const pid_t pid = fork();
        if (pid == 0) {
            if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
            killAtSyncPoint(n);
            _exit(op(prefix) ? 0 : 3);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0) << status;
        return WIFSIGNALED(status);
    }

    std::string m_template;
};

const Op kOps[] = {
    {"delete",
     "Quarnel was ended in the middle of the deletion of "
     "HKEY_CURRENT_USER\\Software\\HrBulk with everything below it. None of it was applied",
     [](const std::string &) {
         TRegistry reg;
         reg.SelectRoot(HKEY_CURRENT_USER);
         return reg.DeleteTree("\\Software\\HrBulk");
     }},
    {"move",
     "Quarnel was ended in the middle of the move of HKEY_CURRENT_USER\\Software\\HrBulk "
     "to HKEY_CURRENT_USER\\Software\\HrMoved. None of it was applied",
     [](const std::string &) {
         TRegistry reg;
         reg.SelectRoot(HKEY_CURRENT_USER);
         try {
             reg.RelocateKey("\\Software\\HrBulk", "\\Software\\HrMoved", true);
         } catch (const ERegistryException &) {
             return false; // as the replace takes it: a value could not be copied
         }
         return reg.HasKey("\\Software\\HrMoved") && !reg.HasKey("\\Software\\HrBulk");
     }},
    {"undo",
     "Quarnel was ended in the middle of the undo of \"1 items deleted\". None of it was "
     "applied",
     [](const std::string &prefix) {
         return ApplyUndoFile(prefix + "/bring-back.reg", "1 items deleted").empty();
     }},
};

// Where each op starts from: the undo brings back a deleted HrBulk.
void prepare(const Op &op)
{
    if (std::string(op.name) != "undo") return;
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    reg.DeleteTree("\\Software\\HrBulk");
    flushRegistryIfIdle(0);
}

} // namespace

TEST_F(ChangeUnitTest, KilledInTheMiddleLeavesNoneOfItAndSaysSo)
{
    REQUIRE_PREFIX();
    std::mt19937 random(20261208);
    for (const Op &op : kOps) {
        // The whole op once, for the state after it and the journal it writes.
        const std::string whole = copyOfTemplate();
        ASSERT_EQ(openRegistryAt(whole, true).status, RegistryOpened::Status::Ok);
        prepare(op);
        const std::string before = state();
        const uint64_t start = journalSize(whole);
        ASSERT_TRUE(op.run(whole)) << op.name;
        const std::string after = state();
        const uint64_t end = journalSize(whole);
        ASSERT_NE(before, after);
        ASSERT_EQ(closeRegistry(), "");

        for (int trial = 0; trial < 4; ++trial) {
            const std::string prefix = copyOfTemplate();
            // Before the last few changes: the hook kills only before a change.
            const uint64_t killAt = start + 1 + random() % ((end - start) * 9 / 10);
            const pid_t pid = fork();
            if (pid == 0) {
                if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
                prepare(op);
                StoreHooks &files = activeStore().hooks();
                activeStore().setHooks(
                    killAtJournalSize(files, prefix + "/quarnel.journal", killAt));
                op.run(prefix);
                _exit(0); // the unit was complete before the kill point
            }
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << op.name << " ended before byte " << killAt;

            const RegistryOpened opened = openRegistryAt(prefix, true);
            ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
            EXPECT_EQ(state(), before) << op.name << ", killed at journal byte " << killAt;
            EXPECT_NE(opened.message.find(op.cutShort), std::string::npos) << opened.message;
            const std::vector<std::string> undos = opened.undosCutShort;
            ASSERT_EQ(undos.size(), std::string(op.name) == "undo" ? 1u : 0u);
            if (!undos.empty()) {
                EXPECT_EQ(undos[0], prefix + "/bring-back.reg");
                EXPECT_NE(opened.message.find(undos[0]), std::string::npos) << opened.message;
                // Offered again, it applies whole.
                EXPECT_EQ(ApplyUndoFile(undos[0]), std::vector<std::string>{});
                EXPECT_EQ(state(), after);
            }
            ASSERT_EQ(closeRegistry(), "");
            // Said once: the journal no longer holds the unit.
            EXPECT_EQ(openRegistryAt(prefix, true).message, "");
            ASSERT_EQ(closeRegistry(), "");
        }
    }
}

TEST_F(ChangeUnitTest, AFullDiskTakesBackTheWholeChange)
{
    REQUIRE_PREFIX();
    std::mt19937 random(8122026);
    for (const Op &op : kOps) {
        const std::string prefix = copyOfTemplate();
        const uint64_t room = 200 + random() % 20000; // far less than the op needs
        const std::string report = withinDeadline([&] {
            if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok)
                return std::string("not opened");
            prepare(op);
            const std::string before = state();
            if (!backupBeforeFirstChange().empty()) return std::string("no backup");
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(journalSize(prefix) + room), RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::string problems;
            if (op.run(prefix)) problems += "reported done; ";
            if (state() != before) problems += "changed in memory; ";
            if (takeRegistryNotice().find("cannot write to its journal") == std::string::npos)
                problems += "no notice; ";
            const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &none);
            // With room again, the same change goes through whole.
            if (!op.run(prefix)) problems += "not done once there was room; ";
            const std::string after = state();
            if (after == before) problems += "nothing changed once there was room; ";
            return problems + "after:" + after; // ends like a kill: no close
        });
        const std::size_t at = report.find("after:");
        ASSERT_NE(at, std::string::npos) << report;
        EXPECT_EQ(report.substr(0, at), "") << op.name << " with " << room << " bytes of room";
        const RegistryOpened opened = openRegistryAt(prefix, true);
        ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
        EXPECT_EQ(state(), report.substr(at + 6)) << op.name;
        ASSERT_EQ(closeRegistry(), "");
    }
}

// A restore puts the three files in place as one: killed at any of its writes, the
// next start finds the registry as it was or finishes the restore, and says which.
TEST_F(ChangeUnitTest, ARestoreKilledAtAnyWriteLeavesTheRegistryBeforeOrRestoredAndSaysWhich)
{
    REQUIRE_PREFIX();
    const std::string base = copyOfTemplate();
    const auto files = [](const std::string &folder) {
        return readFile(folder + "/system.reg") + readFile(folder + "/userdef.reg") +
               readFile(folder + "/user.reg");
    };
    ASSERT_EQ(openRegistryAt(base, true).status, RegistryOpened::Status::Ok);
    ASSERT_EQ(backupBeforeFirstChange(), "");
    const std::string backup = listBackups().at(0).folder.substr(base.size());
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER}) {
        TRegistry reg;
        reg.SelectRoot(root);
        ASSERT_TRUE(reg.OpenPath(root == HKEY_USERS ? "\\.Default\\Software" : "\\Software"));
        reg.WriteText("changed since the backup", "x");
    }
    ASSERT_EQ(closeRegistry(), "");
    const std::string before = files(base), restored = files(base + backup);
    int n = 1;
    for (std::string prefix;; ++n) {
        const bool killed = killedAt(n, base, prefix, [&](const std::string &at) {
            std::string made;
            return restoreBackup(at + backup, made).empty();
        });
        const RegistryOpened opened = openRegistryAt(prefix, true);
        const std::string now = files(prefix);
        const char *said = now == before     ? "Nothing of it was restored"
                           : now == restored ? (killed ? "has finished that restore now" : "")
                                             : "(neither before nor restored)";
        EXPECT_NE(opened.message.find(said), std::string::npos) << n << ": " << opened.message;
        ASSERT_EQ(closeRegistry(), "");
        if (!killed) break;
        EXPECT_EQ(openRegistryAt(prefix, true).message, "") << n; // said once
        ASSERT_EQ(closeRegistry(), "");
    }
    EXPECT_GT(n, 8);
}

// An undo and the mark on what it took back are one: killed at any write of three
// undos in a row, or short of room for the mark, each edit is undone and marked so,
// or neither, and no record of an undo that was not made is left to redo.
TEST_F(ChangeUnitTest, AnUndoIsMadeAndMarkedTogetherOrNeither)
{
    REQUIRE_PREFIX();
    const std::string base = copyOfTemplate();
    const auto subkey = [](int k) { return "Software\\HrBulk\\sub" + std::to_string(k); };
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    ASSERT_EQ(openRegistryAt(base, true).status, RegistryOpened::Status::Ok);
    for (int k = 0; k < 3; ++k) {
        SafetyNet net("delete", "unfinished delete");
        ASSERT_EQ(
            net.prepare([&](UndoCapture &c) { c.captureKey("HKEY_CURRENT_USER", subkey(k)); }), "");
        ASSERT_TRUE(reg.DeleteTree("\\" + subkey(k)));
        net.finish(true, std::to_string(k));
    }
    ASSERT_EQ(closeRegistry(), "");
    // Each edit undone exactly when its file says so; as many records as undos.
    const auto consistent = [&](const std::string &when) {
        int undone = 0, records = 0;
        for (const UndoFiles::Entry &entry : UndoFiles::all(safetyFolder())) {
            if (entry.kind != UndoFiles::Kind::Edit) {
                records += entry.takenBack ? 0 : 1;
                continue;
            }
            EXPECT_EQ(reg.HasKey("\\" + subkey(std::stoi(entry.description))), entry.takenBack)
                << when << ", edit " << entry.description;
            undone += entry.takenBack ? 1 : 0;
        }
        EXPECT_EQ(records, undone) << when;
    };
    int n = 1;
    for (std::string prefix;; ++n) {
        const bool killed = killedAt(n, base, prefix, [](const std::string &) {
            for (const UndoFiles::Entry &entry : UndoFiles::undoable(safetyFolder()))
                if (!TakeBack::takeBack(entry).done()) return false;
            return true;
        });
        ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
        consistent("killed at sync point " + std::to_string(n));
        ASSERT_EQ(closeRegistry(), "");
        if (!killed) break;
    }
    EXPECT_GT(n, 10);

    // Room for the undo, none for the mark: the newest file, grown past the limit by
    // a comment line (UTF-16, as the file), cannot take one byte more.
    const std::string prefix = copyOfTemplate();
    std::system(("cp -a '" + base + "/.' '" + prefix + "/'").c_str());
    const std::string report = withinDeadline([&] {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok ||
            !backupBeforeFirstChange().empty())
            return std::string("not opened");
        const UndoFiles::Entry newest = UndoFiles::undoable(safetyFolder()).at(0);
        std::ofstream comment(newest.path, std::ios::binary | std::ios::app);
        for (char c : std::string(40000, ';') + "\r\n")
            comment << c << '\0';
        comment.close();
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(journalSize(prefix) + 20000), RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto failures = TakeBack::takeBack(newest).failures;
        return failures.empty() ? std::string("reported done") : failures.back();
    });
    EXPECT_EQ(report.rfind("cannot mark", 0), 0u) << report;
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    consistent("without room for the mark");
    EXPECT_EQ(UndoFiles::undoable(safetyFolder()).size(), 3u);

    // An edit that changed nothing leaves nothing to take back.
    SafetyNet net("delete", "unfinished delete");
    ASSERT_EQ(net.prepare([](UndoCapture &) {}), "");
    net.finish(false, "0 items deleted");
    EXPECT_EQ(UndoFiles::undoable(safetyFolder()).size(), 3u);
    ASSERT_EQ(closeRegistry(), "");
}

TEST(JournalUnits, UnitsWithoutTheirMarkAndGarbageAreDroppedUnread)
{
    char templ[] = "/tmp/quarnel-journal-XXXXXX";
    const std::string dir = mkdtemp(templ);
    const std::string path = dir + "/quarnel.journal";
    const auto value = [](const char16_t *name) {
        wine::JournalRecord r;
        r.op = wine::JournalRecord::ValueSet;
        r.path = u"Software\\A";
        r.name = name;
        return r;
    };
    std::string error;
    {
        std::vector<wine::JournalRecord> records;
        wine::JournalGaps gaps;
        wine::Journal journal;
        ASSERT_TRUE(journal.open(path, records, gaps, error)) << error;
        for (const auto &r :
             {value(u"before"), wine::unitBeginRecord({"the first", "", "", -1}), value(u"in1"),
              wine::unitEndRecord(), value(u"between"),
              wine::unitBeginRecord({"the second", "/x/undo.reg", "", 7}), value(u"in2")})
            ASSERT_TRUE(journal.append(r, error)) << error;
    }
    const auto names = [](const std::vector<wine::JournalRecord> &records) {
        std::u16string all;
        for (const auto &r : records)
            all += r.name + u" ";
        return all;
    };
    std::vector<wine::JournalRecord> records;
    wine::JournalGaps gaps;
    ASSERT_TRUE(wine::Journal::peek(path, records, error, &gaps)) << error;
    EXPECT_EQ(names(records), u"before in1 between ");
    ASSERT_EQ(gaps.cutShort.size(), 1u);
    EXPECT_EQ(gaps.cutShort[0].description, "the second");
    EXPECT_EQ(gaps.cutShort[0].undoFile, "/x/undo.reg");
    EXPECT_EQ(gaps.cutShort[0].undoFileSize, 7);
    EXPECT_EQ(gaps.droppedBytes, 0u);

    // A gigabyte of zeros after the records is no record cut short: it is dropped,
    // and said to be, without being read into memory.
    const uint64_t intact = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, uint64_t(1) << 30);
    wine::Journal journal;
    ASSERT_TRUE(journal.open(path, records, gaps, error)) << error;
    EXPECT_EQ(names(records), u"before in1 between ");
    EXPECT_TRUE(gaps.damaged);
    EXPECT_EQ(gaps.droppedAt, intact);
    EXPECT_EQ(gaps.droppedBytes, (uint64_t(1) << 30) - intact);
    EXPECT_EQ(std::filesystem::file_size(path), intact);
    journal.close();
    std::filesystem::remove_all(dir);
}
