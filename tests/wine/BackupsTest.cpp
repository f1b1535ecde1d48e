// The safety folder: a backup before the first change of a session, exactly the
// files as they were; the newest ten kept and nothing else touched; no change
// without a backup; undo files under free names.
#include "registry/source/Backups.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/winreg.h"
#include "registry/wine/WinePrefix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quarnel::platform;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::set<std::string> entries(const std::string &folder)
{
    std::set<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *e = readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.insert(e->d_name);
        closedir(dir);
    }
    return names;
}

unsigned modeOf(const std::string &path)
{
    struct stat st
    {
    };
    lstat(path.c_str(), &st);
    return st.st_mode & 0777;
}

LONG setValue(const char *name)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE *>("x"), 1);
    RegCloseKey(key);
    return rc;
}

class Backups : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char templ[] = "/tmp/quarnel-backups-XXXXXX";
        dir = mkdtemp(templ);
        ASSERT_EQ(openRegistryAt(dir, false).status, RegistryOpened::Status::Ok);
        closeRegistry();
        safety = dir + "/quarnel-backups";
    }
    void TearDown() override
    {
        closeRegistry();
        std::system(("rm -rf '" + dir + "'").c_str());
    }

    std::string dir, safety;
};

} // namespace

TEST_F(Backups, TheFirstChangeOfASessionIsPrecededByACopyOfTheFiles)
{
    unlink((dir + "/userdef.reg").c_str());
    chmod((dir + "/user.reg").c_str(), 0640);
    const std::string system = readFile(dir + "/system.reg"), user = readFile(dir + "/user.reg");
    ASSERT_EQ(openRegistryAt(dir, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(safetyFolder(), safety);
    // Changed behind our back: the backup holds the files as they are on disk.
    const std::string outside = user + "\n[Software\\\\FromOutside] 1796630854\n";
    writeFile(dir + "/user.reg", outside);
    EXPECT_FALSE(entries(dir).count("quarnel-backups"));
    ASSERT_EQ(setValue("first"), ERROR_SUCCESS);
    ASSERT_EQ(setValue("second"), ERROR_SUCCESS);
    EXPECT_EQ(backupBeforeFirstChange(), "");
    const auto made = entries(safety);
    ASSERT_EQ(made.size(), 1u);
    const std::string backup = safety + "/" + *made.begin();
    EXPECT_TRUE(isBackupFolderName(*made.begin())) << *made.begin();
    // A file that was not there is not invented.
    EXPECT_EQ(entries(backup), (std::set<std::string>{"system.reg", "user.reg"}));
    EXPECT_EQ(readFile(backup + "/system.reg"), system);
    EXPECT_EQ(readFile(backup + "/user.reg"), outside);
    EXPECT_EQ(modeOf(safety), 0700u);
    EXPECT_EQ(modeOf(backup + "/user.reg"), 0640u);

    // The next session makes its own, beside the first.
    closeRegistry();
    ASSERT_EQ(openRegistryAt(dir, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(backupBeforeFirstChange(), "");
    const auto both = entries(safety);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_NE(readFile(safety + "/" + *both.rbegin() + "/user.reg").find("\"first\"=hex:78"),
              std::string::npos);
}

TEST_F(Backups, WithoutABackupNothingChanges)
{
    // A file where the folder belongs, then a link to somewhere else: neither is used.
    writeFile(safety, "in the way");
    ASSERT_EQ(openRegistryAt(dir, true).status, RegistryOpened::Status::Ok);
    const std::string user = readFile(dir + "/user.reg");
    EXPECT_EQ(setValue("refused"), ERROR_CANTWRITE);
    EXPECT_EQ(setValue("refused"), ERROR_CANTWRITE);
    const std::string message = backupBeforeFirstChange();
    EXPECT_NE(message.find("changed nothing"), std::string::npos) << message;
    EXPECT_NE(message.find(safety + " is not a folder"), std::string::npos) << message;
    std::string undoPath;
    EXPECT_NE(writeUndoFile("delete", "x", undoPath), "");
    EXPECT_EQ(undoPath, "");

    unlink(safety.c_str());
    const std::string elsewhere = dir + "/elsewhere";
    mkdir(elsewhere.c_str(), 0700);
    ASSERT_EQ(symlink(elsewhere.c_str(), safety.c_str()), 0);
    EXPECT_NE(backupBeforeFirstChange(), "");
    EXPECT_EQ(setValue("refused"), ERROR_CANTWRITE);
    EXPECT_TRUE(entries(elsewhere).empty());
    EXPECT_EQ(closeRegistry(), "");
    EXPECT_EQ(readFile(dir + "/user.reg"), user);

    // Once the way is clear, asking again makes it and changes go through.
    unlink(safety.c_str());
    ASSERT_EQ(openRegistryAt(dir, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(setValue("refused"), ERROR_SUCCESS);
}

TEST_F(Backups, PruningKeepsTheNewestTenByTheTimeTheyWereMade)
{
    mkdir(safety.c_str(), 0700);
    const std::time_t now = std::time(nullptr);
    // A folder made `hoursAgo` (its own time is when the backup was made).
    const auto folder = [&](const std::string &name, const std::set<std::string> &files,
                            int hoursAgo) {
        const std::string path = safety + "/" + name;
        mkdir(path.c_str(), 0700);
        for (const auto &f : files)
            writeFile(path + "/" + f, f);
        const timespec times[2] = {{0, UTIME_OMIT}, {now - hoursAgo * 3600, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    };
    for (int i = 0; i < 9; ++i)
        folder("2026-01-0" + std::to_string(i + 1) + "_10-00-00",
               {"system.reg", "user.reg", "userdef.reg"}, 100 - i);
    // Two sessions in one second: the suffix counts as a number.
    folder("2026-01-09_10-00-00-2", {"system.reg"}, 92);
    folder("2026-01-09_10-00-00-10", {"system.reg"}, 92);
    folder("2025-12-31_23-59-59", {"system.reg", "notes.txt"}, 101); // old, but not only ours
    // Named in local time by earlier runs: the name's order is not the time's.
    folder("2026-06-01_00-00-00", {"system.reg"}, 500);
    folder("2020-06-01_00-00-00", {"system.reg"}, 0);
    folder("2020-05-01_00-00-00", {"notes.txt"}, 0); // no registry file: no backup
    folder("undo", {"2025-01-01_00-00-00-delete.reg"}, 0);
    folder("not-a-backup", {"system.reg"}, 1000);
    folder(".partial-2026-01-09_10-00-00-abcdef", {"system.reg"}, 0); // a backup cut short
    writeFile(safety + "/2020-01-01_00-00-00", "a file, not a folder");
    const std::string outside = dir + "/outside";
    mkdir(outside.c_str(), 0700);
    writeFile(outside + "/system.reg", "kept");
    ASSERT_EQ(symlink(outside.c_str(), (safety + "/2019-01-01_00-00-00").c_str()), 0);

    pruneBackups(safety, wine::kHiveFiles, 10);
    std::set<std::string> expected{
        "2020-06-01_00-00-00", "2026-01-09_10-00-00-2", "2026-01-09_10-00-00-10",
        "2025-12-31_23-59-59", "2020-05-01_00-00-00",   "undo",
        "not-a-backup",        "2020-01-01_00-00-00",   "2019-01-01_00-00-00"};
    for (int i = 3; i <= 9; ++i)
        expected.insert("2026-01-0" + std::to_string(i) + "_10-00-00");
    EXPECT_EQ(entries(safety), expected);
    EXPECT_EQ(entries(safety + "/2025-12-31_23-59-59"), std::set<std::string>{"notes.txt"});
    EXPECT_EQ(readFile(outside + "/system.reg"), "kept");
    EXPECT_EQ(entries(safety + "/not-a-backup"), std::set<std::string>{"system.reg"});

    // A backup made in the same second as another takes the next free name, and
    // the one just made stays even when its clock reads earlier than all others.
    std::string error;
    const std::vector<BackupFile> files{{"system.reg", dir + "/system.reg", {}}};
    std::time_t when = 1600000000;
    const std::string first = makeBackup(safety, wine::kHiveFiles, files, when, false, error);
    const std::string second = makeBackup(safety, wine::kHiveFiles, files, when, false, error);
    ASSERT_FALSE(second.empty()) << error;
    EXPECT_EQ(second, first + "-2");
    EXPECT_TRUE(entries(safety).count(second.substr(safety.size() + 1)));
    EXPECT_EQ(readFile(second + "/system.reg"), readFile(dir + "/system.reg"));
}

namespace {

// The process's time zone for a while.
struct TimeZone
{
    std::string saved = getenv("TZ") ? getenv("TZ") : "";
    bool wasSet = getenv("TZ") != nullptr;
    explicit TimeZone(const char *zone) { set(zone); }
    ~TimeZone() { wasSet ? set(saved.c_str()) : (unsetenv("TZ"), tzset()); }
    static void set(const char *zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
};

} // namespace

TEST_F(Backups, NamesAreInUtcAndTwelveBackupsLeaveTheNewestTen)
{
    // Three hours ahead of UTC for ten runs, then in UTC: names must not jump back.
    TimeZone zone("UTC-3");
    std::string error;
    const std::vector<BackupFile> files{{"system.reg", dir + "/system.reg", {}}};
    std::vector<std::string> made;
    for (int i = 0; i < 12; ++i) {
        if (i == 10) TimeZone::set("UTC");
        made.push_back(makeBackup(safety, wine::kHiveFiles, files, 1700000000 + i, false, error));
        ASSERT_FALSE(made.back().empty()) << error;
    }
    EXPECT_EQ(made[0], safety + "/2023-11-14_22-13-20");
    std::set<std::string> newest;
    for (int i = 2; i < 12; ++i)
        newest.insert(made[i].substr(safety.size() + 1));
    EXPECT_EQ(entries(safety), newest);
}

// A script's edits, each its own session, push out no backup: while the files are
// as Quarnel last saved its own changes, the undo files hold those. Files changed
// by another program (also when a session only read them since) get a backup again.
TEST_F(Backups, SessionsOnFilesAsQuarnelLeftThemMakeNoBackupOfTheirOwn)
{
    const auto backups = [this] { return listBackups(safety, wine::kHiveFiles).size(); };
    const auto session = [this](const char *value, OpenFor purpose = OpenFor::Change) {
        openRegistryAt(dir, true, {}, purpose);
        EXPECT_EQ(value ? setValue(value) : ERROR_SUCCESS, ERROR_SUCCESS);
        EXPECT_EQ(closeRegistry(), "");
    };
    for (const char *value : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"})
        session(value);
    EXPECT_EQ(backups(), 1u);
    writeFile(dir + "/user.reg", readFile(dir + "/user.reg") + "\n[Software\\\\Outside] 1\n");
    session(nullptr);
    session(nullptr, OpenFor::Reading);
    session("after another program");
    session("and again");
    EXPECT_EQ(backups(), 2u);
    // Without the backup it leans on, a session makes one.
    std::system(("rm -r '" + safety + "'/2*").c_str());
    session("without backups");
    EXPECT_EQ(backups(), 1u);
}

// Runs `scenario` in a child as user `uid` and returns what it reported. The
// child ends without closing anything, as a killed process would.
std::string asUser(uid_t uid, const std::function<std::string()> &scenario)
{
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string report = setgid(uid) == 0 && setuid(uid) == 0 ? scenario() : "no setuid";
        (void)!write(fds[1], report.data(), report.size());
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return report;
}

TEST_F(Backups, UnsavedChangesAreNamedInTheBackupAndKeptInTheJournal)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // A user whose registry folder took a change that did not reach the files.
    const uid_t other = 65534;
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + dir + "'").c_str()), 0);
    ASSERT_EQ(asUser(other,
                     [&] {
                         const auto opened = openRegistryAt(dir, false);
                         return opened.status == RegistryOpened::Status::Ok
                                    ? std::to_string(setValue("journaled"))
                                    : opened.message;
                     }),
              "0");
    const std::string onDisk = readFile(dir + "/user.reg");
    // The folder refuses new files: the next start replays the change but cannot save it.
    chmod(dir.c_str(), 0555);
    const std::string report = asUser(other, [&] {
        const auto opened = openRegistryAt(dir, false);
        return opened.message + "|" + std::to_string(setValue("second"));
    });
    chmod(dir.c_str(), 0700);
    EXPECT_NE(report.find("Permission denied"), std::string::npos) << report;
    EXPECT_NE(report.find("Quarnel keeps your changes in " + dir + "/quarnel.journal"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.substr(report.rfind('|')), "|0") << report;
    // The backup is the files on disk, and says that the replayed change is not in it.
    std::string noted;
    for (const std::string &name : entries(safety))
        if (entries(safety + "/" + name).count("README.txt")) noted = safety + "/" + name;
    ASSERT_FALSE(noted.empty());
    EXPECT_EQ(readFile(noted + "/user.reg"), onDisk);
    const std::string note = readFile(noted + "/README.txt");
    EXPECT_NE(note.find("as they were on disk"), std::string::npos) << note;
    EXPECT_NE(note.find("changes of an earlier session to user.reg that it had not saved"),
              std::string::npos)
        << note;
}

TEST_F(Backups, WhatABackupCutShortLeftGoesAtTheNextStart)
{
    mkdir(safety.c_str(), 0700);
    mkdir((safety + "/undo").c_str(), 0700);
    const std::string partial = safety + "/.partial-2026-01-01_00-00-00-abcdef";
    mkdir(partial.c_str(), 0700);
    writeFile(partial + "/system.reg", "half");
    writeFile(safety + "/undo/.partial-2026-01-01_00-00-00-ghijkl", "half");
    writeFile(safety + "/undo/2026-01-01_00-00-00-delete.reg", "kept");
    mkdir((safety + "/.partial-theirs").c_str(), 0700);
    writeFile(safety + "/.partial-theirs/notes.txt", "not ours");
    ASSERT_EQ(openRegistryAt(dir, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(entries(safety), (std::set<std::string>{".partial-theirs", "undo"}));
    EXPECT_EQ(entries(safety + "/undo"), std::set<std::string>{"2026-01-01_00-00-00-delete.reg"});
}

TEST_F(Backups, UndoFilesTakeFreeNamesAndKeepTheirBytes)
{
    std::string error;
    const std::string bytes("\xFF\xFE"
                            "W\0",
                            4);
    TimeZone zone("UTC+3");
    const std::string a = writeUndoFile(safety, "delete", bytes, 1700000000, false, error);
    const std::string b = writeUndoFile(safety, "delete", bytes, 1700000000, false, error);
    ASSERT_FALSE(b.empty()) << error;
    // In UTC, so that they sort by time across time zones and daylight saving time.
    EXPECT_EQ(a, safety + "/undo/2023-11-14_22-13-20-delete.reg");
    EXPECT_EQ(b, safety + "/undo/2023-11-14_22-13-20-delete-2.reg");
    EXPECT_EQ(readFile(b), bytes);
    EXPECT_EQ(modeOf(a), 0600u);
    EXPECT_EQ(entries(safety + "/undo").size(), 2u);
    std::string path;
    EXPECT_NE(writeUndoFile("replace", bytes, path), ""); // no registry open
}
