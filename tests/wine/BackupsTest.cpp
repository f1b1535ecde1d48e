// The safety folder: a backup before the first change of a session, exactly the
// files as they were; the newest ten kept and nothing else touched; no change
// without a backup; undo files under free names.
#include "registry/platform/wine/Backups.h"
#include "registry/platform/RegistryFiles.h"
#include "registry/platform/winreg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
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
    // Changed behind our back: the backup holds the registry as Quarnel has it.
    writeFile(dir + "/user.reg", user + "\n[Software\\\\FromOutside] 1796630854\n");
    EXPECT_FALSE(entries(dir).count("quarnel-backups"));
    ASSERT_EQ(setValue("first"), ERROR_SUCCESS);
    ASSERT_EQ(setValue("second"), ERROR_SUCCESS);
    EXPECT_EQ(backupBeforeFirstChange(), "");
    const auto made = entries(safety);
    ASSERT_EQ(made.size(), 1u);
    const std::string backup = safety + "/" + *made.begin();
    EXPECT_TRUE(wine::isBackupFolderName(*made.begin())) << *made.begin();
    // A file that was not there is not invented.
    EXPECT_EQ(entries(backup), (std::set<std::string>{"system.reg", "user.reg"}));
    EXPECT_EQ(readFile(backup + "/system.reg"), system);
    EXPECT_EQ(readFile(backup + "/user.reg"), user);
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

TEST_F(Backups, PruningKeepsTheNewestTenAndTouchesNothingElse)
{
    mkdir(safety.c_str(), 0700);
    const auto folder = [&](const std::string &name, const std::set<std::string> &files) {
        mkdir((safety + "/" + name).c_str(), 0700);
        for (const auto &f : files)
            writeFile(safety + "/" + name + "/" + f, f);
    };
    std::set<std::string> backups;
    for (int i = 0; i < 9; ++i) {
        const std::string name = "2026-01-0" + std::to_string(i + 1) + "_10-00-00";
        folder(name, {"system.reg", "user.reg", "userdef.reg"});
        backups.insert(name);
    }
    // Two sessions in one second: the suffix counts as a number.
    folder("2026-01-09_10-00-00-2", {"system.reg"});
    folder("2026-01-09_10-00-00-10", {"system.reg"});
    folder("2025-12-31_23-59-59", {"system.reg", "notes.txt"}); // old, but not only ours
    folder("undo", {"2025-01-01_00-00-00-delete.reg"});
    folder("not-a-backup", {"system.reg"});
    folder(".partial-2026-01-09_10-00-00-abcdef", {"system.reg"}); // a backup cut short
    writeFile(safety + "/2020-01-01_00-00-00", "a file, not a folder");
    const std::string outside = dir + "/outside";
    mkdir(outside.c_str(), 0700);
    writeFile(outside + "/system.reg", "kept");
    ASSERT_EQ(symlink(outside.c_str(), (safety + "/2019-01-01_00-00-00").c_str()), 0);

    wine::pruneBackups(safety, 10);
    std::set<std::string> expected{
        "2026-01-09_10-00-00-2", "2026-01-09_10-00-00-10", "2025-12-31_23-59-59", "undo",
        "not-a-backup",          "2020-01-01_00-00-00",    "2019-01-01_00-00-00"};
    for (int i = 1; i < 9; ++i)
        expected.insert("2026-01-0" + std::to_string(i + 1) + "_10-00-00");
    EXPECT_EQ(entries(safety), expected);
    EXPECT_EQ(entries(safety + "/2025-12-31_23-59-59"), std::set<std::string>{"notes.txt"});
    EXPECT_EQ(readFile(outside + "/system.reg"), "kept");
    EXPECT_EQ(entries(safety + "/not-a-backup"), std::set<std::string>{"system.reg"});

    // A backup made in the same second as another takes the next free name, and
    // the one just made stays even when its clock reads earlier than all others.
    std::string error;
    const std::vector<wine::BackupFile> files{{"system.reg", dir + "/system.reg", {}}};
    std::time_t when = 1700000000;
    const std::string first = wine::makeBackup(safety, files, when, false, error);
    const std::string second = wine::makeBackup(safety, files, when, false, error);
    ASSERT_FALSE(second.empty()) << error;
    EXPECT_EQ(second, first + "-2");
    EXPECT_TRUE(entries(safety).count(second.substr(safety.size() + 1)));
    EXPECT_EQ(readFile(second + "/system.reg"), readFile(dir + "/system.reg"));
}

TEST_F(Backups, UndoFilesTakeFreeNamesAndKeepTheirBytes)
{
    std::string error;
    const std::string bytes("\xFF\xFE"
                            "W\0",
                            4);
    const std::string a = wine::writeUndoFile(safety, "delete", bytes, 1700000000, false, error);
    const std::string b = wine::writeUndoFile(safety, "delete", bytes, 1700000000, false, error);
    ASSERT_FALSE(b.empty()) << error;
    EXPECT_EQ(a, safety + "/undo/" + wine::timeStamp(1700000000) + "-delete.reg");
    EXPECT_EQ(b, safety + "/undo/" + wine::timeStamp(1700000000) + "-delete-2.reg");
    EXPECT_EQ(readFile(b), bytes);
    EXPECT_EQ(modeOf(a), 0600u);
    EXPECT_EQ(entries(safety + "/undo").size(), 2u);
    std::string path;
    EXPECT_NE(writeUndoFile("replace", bytes, path), ""); // no registry open
}
