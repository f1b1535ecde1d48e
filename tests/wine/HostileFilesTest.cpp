// Files beside the registry that others made: links to someone else's file,
// FIFOs, devices, a journal that is not ours, a disk that fills up. Nothing
// outside the registry folder changes, nothing hangs, and no change is
// reported done that is not on disk.
#include "tests/wine/WineTestSupport.h"

#include "registry/kinds/SourceKinds.h"
#include "registry/win32/winreg.h"
#include "registry/wine/Journal.h"
#include "registry/wine/ServerLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarnel::platform;
using namespace quarnel::test;

namespace {

// Opens the registry in a child, within the deadline: "<status>: <message>".
std::string openedInChild(const std::string &directory, bool isWinePrefix)
{
    return withinDeadline([&] {
        const auto opened = openRegistryAt(directory, isWinePrefix);
        using S = RegistryOpened::Status;
        // A lock that could not be taken is told as a fact, the rest in the message.
        const RegistryRefusal refusal = registryRefusal();
        return std::string(opened.status == S::Ok         ? "Ok"
                           : opened.status == S::ReadOnly ? "ReadOnly"
                                                          : "Failed") +
               ": " + opened.message +
               (refusal.kind == RegistryRefusal::Kind::NotLocked ? refusal.detail : "");
    });
}

LONG setNumber(HKEY key, int i)
{
    const std::string name = "v" + std::to_string(i);
    const DWORD value = DWORD(i);
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                          4);
}

bool hasNumber(HKEY key, int i)
{
    DWORD v = 0, size = 4;
    return RegQueryValueExA(key, ("v" + std::to_string(i)).c_str(), nullptr, nullptr,
                            reinterpret_cast<BYTE *>(&v), &size) == ERROR_SUCCESS &&
           v == DWORD(i);
}

// Someone else's file outside the registry folder, and a check that it is untouched.
struct Victim
{
    std::string dir = [] {
        char templ[] = "/tmp/quarnel-victim-XXXXXX";
        return std::string(mkdtemp(templ));
    }();
    std::string path = dir + "/precious.txt";

    Victim() { writeFile(path, "someone else's file\n"); }
    ~Victim() { std::system(("rm -rf '" + dir + "'").c_str()); }
    void expectUntouched(const std::string &when) const
    {
        EXPECT_EQ(readFile(path), "someone else's file\n") << when;
    }
};

} // namespace

TEST(HostileFiles, NothingIsWrittenThroughALinkOrIntoAFileNotOurs)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const std::string journal = prefix + "/quarnel.journal";
    Victim victim;

    // The journal: a link, a second name of someone's file, someone's file itself.
    ASSERT_EQ(symlink(victim.path.c_str(), journal.c_str()), 0);
    std::string opened = openedInChild(prefix, true);
    EXPECT_EQ(opened.rfind("ReadOnly: ", 0), 0u) << opened;
    EXPECT_NE(opened.find(journal + " is a symbolic link"), std::string::npos) << opened;
    victim.expectUntouched("journal as a link");
    unlink(journal.c_str());

    ASSERT_EQ(link(victim.path.c_str(), journal.c_str()), 0);
    opened = openedInChild(prefix, true);
    EXPECT_NE(opened.find(journal + " has other names"), std::string::npos) << opened;
    victim.expectUntouched("journal as a hard link");
    unlink(journal.c_str());

    writeFile(journal, "notes of someone else\n");
    opened = openedInChild(prefix, true);
    EXPECT_EQ(opened.rfind("ReadOnly: ", 0), 0u) << opened;
    EXPECT_NE(opened.find(journal + " is not a journal of Quarnel's"), std::string::npos) << opened;
    EXPECT_EQ(readFile(journal), "notes of someone else\n");
    unlink(journal.c_str());

    // A save's temporary file and the journal's rewrite, planted while Quarnel works.
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Hostile", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(setNumber(key, 1), ERROR_SUCCESS);
    ASSERT_EQ(symlink(victim.path.c_str(), (prefix + "/user.reg.quarnel-tmp").c_str()), 0);
    EXPECT_EQ(flushRegistryIfIdle(0), "");
    victim.expectUntouched("save through a planted temporary file");
    EXPECT_NE(readFile(prefix + "/user.reg").find("[Software\\\\Hostile]"), std::string::npos);

    // A save that cannot read the changed file keeps the change by rewriting the journal.
    ASSERT_EQ(setNumber(key, 2), ERROR_SUCCESS);
    const std::string good = readFile(prefix + "/user.reg");
    writeFile(prefix + "/user.reg", "broken");
    ASSERT_EQ(symlink(victim.path.c_str(), (journal + ".new").c_str()), 0);
    EXPECT_NE(flushRegistryIfIdle(0), "");
    victim.expectUntouched("journal rewritten through a planted link");
    RegCloseKey(key);
    closeRegistry();
    std::vector<wine::JournalRecord> records;
    std::string error;
    ASSERT_TRUE(wine::Journal::peek(journal, records, error)) << error;
    EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                            [](const wine::JournalRecord &r) { return r.name == u"v2"; }));
    writeFile(prefix + "/user.reg", good);

    // The lock of our own registry, and Wine's lock in the temporary folder.
    char templ[] = "/tmp/quarnel-own-XXXXXX";
    const std::string own = mkdtemp(templ);
    ASSERT_EQ(openRegistryAt(own, false).status, RegistryOpened::Status::Ok);
    closeRegistry();
    unlink((own + "/quarnel.lock").c_str());
    ASSERT_EQ(symlink(victim.path.c_str(), (own + "/quarnel.lock").c_str()), 0);
    opened = openedInChild(own, false);
    EXPECT_EQ(opened.rfind("ReadOnly: ", 0), 0u) << opened;
    EXPECT_NE(opened.find("is a symbolic link"), std::string::npos) << opened;

    const std::string savedTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", own.c_str(), 1);
    const std::string wineLock = wine::wineServerLockPaths(prefix, false).front();
    ASSERT_EQ(std::system(("mkdir -p \"$(dirname '" + wineLock + "')\"").c_str()), 0);
    ASSERT_EQ(symlink(victim.path.c_str(), wineLock.c_str()), 0);
    opened = openedInChild(prefix, true);
    savedTmp.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", savedTmp.c_str(), 1);
    EXPECT_EQ(opened.rfind("ReadOnly: ", 0), 0u) << opened;
    victim.expectUntouched("locks");
    std::system(("rm -rf '" + own + "'").c_str());
}

TEST(HostileFiles, SpecialFilesAreReportedNotReadForever)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const struct
    {
        const char *file;
        const char *make; // shell command run in the prefix
        const char *said;
    } cases[] = {
        {"user.reg", "mkfifo user.reg", "/user.reg is not a regular file"},
        {"system.reg", "mkfifo system.reg", "/system.reg is not a regular file"},
        {"userdef.reg", "truncate -s 3G userdef.reg", "/userdef.reg is too large"},
        {"quarnel.journal", "mkfifo quarnel.journal", "/quarnel.journal is not a regular file"},
        {"quarnel.journal", "ln -s /dev/zero quarnel.journal",
         "/quarnel.journal is a symbolic link"},
        {"wineserver", "mkfifo wineserver", "/wineserver is not a regular file"},
        // Its target's text would become Wine's tag, a folder name of someone else's choosing.
        {"wineserver", "echo elsewhere >tag-outside && ln -s tag-outside wineserver",
         "/wineserver is a symbolic link"},
    };
    for (const auto &c : cases) {
        const std::string path = prefix + "/" + c.file;
        const std::string kept = path + ".kept";
        rename(path.c_str(), kept.c_str());
        ASSERT_EQ(std::system(("cd '" + prefix + "' && " + c.make).c_str()), 0) << c.make;
        const std::string opened = openedInChild(prefix, true);
        EXPECT_EQ(opened.rfind("ReadOnly: ", 0), 0u) << c.make << ": " << opened;
        EXPECT_NE(opened.find(prefix + c.said), std::string::npos) << c.make << ": " << opened;
        unlink(path.c_str());
        rename(kept.c_str(), path.c_str());
    }
    // A read-only look at the journal (while someone else holds the registry) reads no device.
    std::vector<wine::JournalRecord> records;
    std::string error;
    EXPECT_FALSE(wine::Journal::peek("/dev/zero", records, error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

// Full disk: a small file system of its own where the machine lets us mount
// one, else a file size limit; either way the journal runs out of room.
TEST(HostileFiles, AChangeThatCannotBeJournaledFailsAndIsToldOnce)
{
    char templ[] = "/tmp/quarnel-full-XXXXXX";
    const std::string root = mkdtemp(templ);
    const bool mounted = mount("tmpfs", root.c_str(), "tmpfs", 0, "size=256k,mode=0700") == 0;
    const std::shared_ptr<void> cleanUp(nullptr, [&](void *) {
        closeRegistry();
        if (mounted) umount2(root.c_str(), MNT_DETACH);
        std::system(("rm -rf '" + root + "'").c_str());
    });
    const std::string dir = root + "/registry";
    const std::string report = withinDeadline([&] {
        std::string problems;
        const auto check = [&problems](bool ok, const std::string &what) {
            if (!ok) problems += what + "; ";
        };
        if (openRegistryAt(dir, false).status != RegistryOpened::Status::Ok)
            return std::string("not opened");
        check(backupBeforeFirstChange().empty(), "no backup");
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Full", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        check(setNumber(key, 0) == ERROR_SUCCESS, "v0 not set");
        const std::string filler = root + "/filler";
        if (mounted) {
            const std::string block(4096, 'x');
            FILE *f = fopen(filler.c_str(), "w");
            while (f && fwrite(block.data(), 1, block.size(), f) == block.size() &&
                   fflush(f) == 0) {
            }
            if (f) fclose(f);
        } else {
            signal(SIGXFSZ, SIG_IGN);
            struct stat st
            {
            };
            stat((dir + "/quarnel.journal").c_str(), &st);
            const rlimit limit{rlim_t(st.st_size + 3000), RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        int failed = 1;
        LONG rc = ERROR_SUCCESS;
        for (; failed < 100000 && (rc = setNumber(key, failed)) == ERROR_SUCCESS; ++failed) {
        }
        check(rc == ERROR_CANTWRITE, "the failing call returned " + std::to_string(rc));
        check(!hasNumber(key, failed), "the failed change is in memory");
        const std::string notice = takeRegistryNotice();
        check(notice.find("cannot write to its journal") != std::string::npos, "notice: " + notice);
        check(setNumber(key, failed) != ERROR_SUCCESS, "a second try did not fail");
        check(takeRegistryNotice().empty(), "told twice");

        // Room again: the change goes through, after the torn record was cut off.
        if (mounted) {
            unlink(filler.c_str());
        } else {
            const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &none);
        }
        check(setNumber(key, failed) == ERROR_SUCCESS, "not set once there was room");
        RegCloseKey(key);
        return problems + "failed at " + std::to_string(failed); // ends like a kill: no close
    });
    const std::size_t at = report.rfind("failed at ");
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_EQ(report.substr(0, at), "") << (mounted ? "tmpfs" : "file size limit");
    const int failed = std::stoi(report.substr(at + 10));
    EXPECT_GT(failed, 1);

    // What the journal holds after the "crash" is what was reported done.
    const auto opened = openRegistryAt(dir, false);
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    EXPECT_NE(opened.message.find("recovered"), std::string::npos) << opened.message;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Full", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    for (int i = 0; i <= failed; ++i)
        EXPECT_TRUE(hasNumber(key, i)) << "v" << i;
    EXPECT_FALSE(hasNumber(key, failed + 1));
    RegCloseKey(key);
    EXPECT_EQ(closeRegistry(), "");
}
