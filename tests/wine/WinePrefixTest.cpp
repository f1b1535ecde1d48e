// Quarnel on the registry files of a real Wine prefix, and beside Wine itself.
#include "tests/wine/WineTestSupport.h"

#include "tests/support/SmallStack.h"

#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/winreg.h"
#include "registry/wine/ServerLock.h"
#include "registry/wine/WinePrefix.h"
#include "registry/wine/WineRegParts.h"
#include "registry/wine/WineRegReader.h"
#include "registry/wine/WineRegWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quarnel::platform;
using namespace quarnel::test;

namespace {

LONG setString(HKEY root, const char *path, const char *name, const std::string &text)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                        DWORD(text.size() + 1));
    RegCloseKey(key);
    return rc;
}

std::string getString(HKEY root, const char *path, const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return "<no key>";
    char buf[512];
    DWORD size = sizeof buf, type = 0;
    const LONG rc =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(buf, size ? size - 1 : 0) : "<no value>";
}

struct FileState
{
    std::string bytes;
    ino_t inode;
    timespec mtime;
};

FileState stateOf(const std::string &path)
{
    struct stat st
    {
    };
    stat(path.c_str(), &st);
    return {readFile(path), st.st_ino, st.st_mtim};
}

void expectUnchanged(const FileState &before, const std::string &path)
{
    const FileState after = stateOf(path);
    EXPECT_EQ(after.bytes, before.bytes) << path;
    EXPECT_EQ(after.inode, before.inode) << path;
    EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec) << path;
}

} // namespace

TEST(WinePrefix, WineWrittenFilesRoundTripByteForByte)
{
    REQUIRE_PREFIX();
    for (const char *file : wine::kHiveFiles) {
        const std::string text = readFile(freshPrefix() + "/" + file);
        RegKey root;
        wine::Preamble preamble;
        const auto r = wine::readHive(text, root, preamble);
        ASSERT_TRUE(r.ok) << file << ":" << r.line << ": " << r.message;
        EXPECT_TRUE(wine::writeHive(root, preamble) == text) << file;
        // Read in parts side by side, as big files are, it comes back the same too.
        const wine::TextAt at = [&text](uint64_t from, char *to, std::size_t room,
                                        std::size_t &got) {
            got = from < text.size() ? std::min<std::size_t>(room, text.size() - from) : 0;
            std::memcpy(to, text.data() + from, got);
            return true;
        };
        const std::vector<uint64_t> starts = wine::partStarts(at, text.size(), 8);
        EXPECT_GT(starts.size(), 1u) << file;
        RegKey parted;
        wine::Preamble partedPreamble;
        ASSERT_TRUE(wine::readHiveParts(at, text.size(), starts, parted, partedPreamble).ok);
        EXPECT_TRUE(wine::writeHive(parted, partedPreamble) == text) << file;
    }
}

TEST(WinePrefix, OpeningAndClosingWithoutChangesLeavesFilesAlone)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    const FileState before = stateOf(prefix + "/system.reg");
    const auto opened = openRegistryAt(prefix, true);
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    // The fresh prefix's links lead to their targets.
    HKEY link = nullptr, target = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\..\\..\\Classes",
                            0, KEY_ALL_ACCESS, &link),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Policies", 0,
                            KEY_ALL_ACCESS, &link),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies", 0, KEY_ALL_ACCESS, &target),
              ERROR_SUCCESS);
    DWORD linkKeys = 0, targetKeys = 1;
    RegQueryInfoKeyA(link, nullptr, nullptr, nullptr, &linkKeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegQueryInfoKeyA(target, nullptr, nullptr, nullptr, &targetKeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(linkKeys, targetKeys);
    RegCloseKey(link);
    RegCloseKey(target);
    EXPECT_EQ(closeRegistry(), "");
    expectUnchanged(before, prefix + "/system.reg");

    // Another user's prefix (as root on someone's ~/.wine): nothing of ours may
    // appear there, not even Wine's tag file, or that user's Wine fails on it.
    if (geteuid() != 0) return; // only root gives a folder away
    unlink((prefix + "/wineserver").c_str());
    unlink((prefix + "/quarnel.journal").c_str());
    ASSERT_EQ(chown(prefix.c_str(), 65534, 65534), 0);
    std::string was, is;
    runInPrefix(prefix, "ls -a \"$WINEPREFIX\"", &was);
    const auto foreign = openRegistryAt(prefix, true);
    EXPECT_EQ(foreign.status, RegistryOpened::Status::ReadOnly);
    EXPECT_NE(foreign.message.find("belongs to another user"), std::string::npos)
        << foreign.message;
    EXPECT_EQ(closeRegistry(), "");
    runInPrefix(prefix, "ls -a \"$WINEPREFIX\"", &is);
    EXPECT_EQ(is, was);
}

TEST(WinePrefix, LinksThatLoopEndTheWalk)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    // A link to its own parent, as a hand-edited file might hold.
    writeFile(
        prefix + "/user.reg",
        readFile(prefix + "/user.reg") +
            "\n[Software\\\\Loop\\\\Back] 1796630854\n#time=1dd8622040f4106\n#link\n"
            "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,45,00,47,00,49,00,53,00,54,00,52,00,59,"
            "00,5c,00,55,00,73,00,65,00,72,00,5c,00,53,00,2d,00,31,00,2d,00,35,00,2d,00,32,"
            "00,31,00,2d,00,30,00,2d,00,30,00,2d,00,30,00,2d,00,31,00,30,00,30,00,30,00,5c,"
            "00,53,00,6f,00,66,00,74,00,77,00,61,00,72,00,65,00,5c,00,4c,00,6f,00,6f,00,70,00\n");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Loop\\Back", 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Loop\\Back\\Back\\Back", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Loop\\Back", REG_OPTION_OPEN_LINK,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    closeRegistry();
}

TEST(WinePrefix, ChangesReachWineAndWinesReachUs)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "greeting", "hello wine"),
              ERROR_SUCCESS);
    ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "accents",
                        "caf\xc3\xa9 \xe2\x82\xac"),
              ERROR_SUCCESS);
    ASSERT_EQ(setString(HKEY_LOCAL_MACHINE, "Software\\QuarnelTest\\Sub", "m", "machine"),
              ERROR_SUCCESS);
    // Values of a hive's root key itself: Wine keeps them in a section of their own.
    ASSERT_EQ(setString(HKEY_CURRENT_USER, "", "atRoot", "user root"), ERROR_SUCCESS);
    // Values whose text needs every kind of escape and wrap; Wine must read them
    // back and save them byte for byte as we wrote them.
    HKEY tricky = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuarnelTest\\Tricky \xe2\x82\xac[1]", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &tricky, nullptr),
              ERROR_SUCCESS);
    const std::string escapes = std::string("\x01"
                                            "7\x02"
                                            "8\x1f\x7f\xc3\xa9"
                                            "0\xe2\x82\xac"
                                            "F") +
                                "\xf0\x9f\x98\x80\"\\[]\t\n\r\x1b" + std::string(1, '\0') + "1";
    const std::pair<std::string, DWORD> values[] = {{escapes, REG_SZ},
                                                    {"multi", REG_MULTI_SZ},
                                                    {"bin", REG_BINARY},
                                                    {"qword", 11},
                                                    {"short dword", REG_DWORD},
                                                    {"odd type", 0x1234},
                                                    {std::string(80, 'n'), REG_BINARY}};
    for (const auto &[name, type] : values) {
        std::string data = type == REG_SZ         ? escapes + '\0'
                           : type == REG_MULTI_SZ ? std::string("a\0b\0\0", 5)
                                                  : "";
        if (type == REG_BINARY)
            for (int i = 0; i < 200; ++i)
                data.push_back(char(i));
        if (type == 11 || type == 0x1234) data = "12345678";
        if (type == REG_DWORD) data = "12";
        ASSERT_EQ(RegSetValueExA(tricky, name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(tricky);
    // Keys deeper than the 8-bit calls take in one piece, both ways.
    std::string deep = "Deep", deepInShell = "Deep";
    for (int i = 0; i < 18; ++i) {
        deep += "\\Level" + std::to_string(i) + "_with_a_long_name";
        deepInShell += "\\\\Level" + std::to_string(i) + "_with_a_long_name";
    }
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.CreatePath("\\Software\\QuarnelTest\\" + deep);
        ASSERT_TRUE(reg.OpenPath("\\Software\\QuarnelTest\\" + deep));
        reg.WriteText("ours", "we wrote it");
    }
    const char *const leaf = "AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\.Current";
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, leaf), ERROR_SUCCESS);
    ASSERT_EQ(closeRegistry(), "");
    const auto trickySection = [&prefix] {
        const std::string text = readFile(prefix + "/user.reg");
        const std::size_t at = text.find("\n[Software\\\\QuarnelTest\\\\Tricky");
        return at == std::string::npos ? std::string()
                                       : text.substr(at, text.find("\n\n", at + 1) - at);
    };
    const std::string ours = trickySection();
    ASSERT_NE(ours.find("\\x20ac"), std::string::npos) << ours;

    std::string out;
    const std::string queryOurs =
        "wine reg query \"HKCU\\\\Software\\\\QuarnelTest\\\\" + deepInShell + "\" /v ours";
    const std::string addDeep = "wine reg add \"HKCU\\\\Software\\\\FromWine\\\\" + deepInShell +
                                "\" /v deep /d \"wine wrote it\" /f";
    const int rc =
        runInPrefix(prefix,
                    "wine reg query \"HKCU\\\\Software\\\\QuarnelTest\" && "
                    "wine reg query \"HKLM\\\\Software\\\\QuarnelTest\\\\Sub\" /v m && "
                    "wine reg query HKCU /v atRoot && "
                    "wine reg add HKCU /v wineAtRoot /d \"wine root\" /f && "
                    "wine reg add \"HKCU\\\\Software\\\\FromWine\" /v w /d written /f && " +
                        queryOurs + " && " + addDeep + "; wineserver -w",
                    &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("greeting    REG_SZ    hello wine"), std::string::npos) << out;
    EXPECT_NE(out.find("m    REG_SZ    machine"), std::string::npos) << out;
    EXPECT_NE(out.find("ours    REG_SZ    we wrote it"), std::string::npos) << out;
    EXPECT_NE(out.find("atRoot    REG_SZ    user root"), std::string::npos) << out;
    EXPECT_EQ(trickySection(), ours); // Wine re-saved it unchanged: nothing it read as malformed

    // Wine saved the hive again; our non-ASCII text survived it, and Wine's change reaches us.
    const auto reopened = openRegistryAt(prefix, true);
    ASSERT_EQ(reopened.status, RegistryOpened::Status::Ok) << reopened.message;
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "accents"),
              "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "Software\\FromWine", "w"), "written");
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "", "atRoot"), "user root");
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "", "wineAtRoot"), "wine root");
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenPath("\\Software\\FromWine\\" + deep));
        EXPECT_EQ(reg.ReadText("deep"), "wine wrote it");
    }
    EXPECT_EQ(getString(HKEY_CURRENT_USER, leaf, ""), "<no key>");
    closeRegistry();
    std::system(("rm -rf '" + prefix + "'").c_str());
}

TEST(WinePrefix, RunningWineIsRefusedAndWineCannotStartWhileWeHoldThePrefix)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    const std::string userReg = prefix + "/user.reg";
    char templ[] = "/tmp/quarnel-othertmp-XXXXXX";
    const std::string otherTmp = mkdtemp(templ);
    const std::string savedTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    // A wineserver started with the given TMPDIR ("" for ours), once its lock is taken.
    const auto startServer = [&](const std::string &tmp) {
        const std::string env = tmp.empty() ? "" : "TMPDIR=" + tmp + " ";
        if (runInPrefix(prefix, env + "wineserver -p </dev/null >/dev/null 2>&1") != 0)
            return false;
        if (!tmp.empty()) setenv("TMPDIR", tmp.c_str(), 1);
        const auto paths = wine::wineServerLockPaths(prefix, false);
        savedTmp.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", savedTmp.c_str(), 1);
        for (int i = 0; i < 100; ++i) {
            for (const auto &p : paths)
                if (wine::lockHolder(p) != 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    const auto stopServer = [&](const std::string &tmp) {
        const std::string env = tmp.empty() ? "" : "TMPDIR=" + tmp + " ";
        runInPrefix(prefix, env + "wineserver -k; " + env + "wineserver -w");
    };
    // However Wine was started, its lock where ours is or elsewhere.
    for (const std::string &tmp : {std::string(), otherTmp}) {
        ASSERT_TRUE(startServer(tmp)) << tmp;
        const FileState before = stateOf(userReg);
        const auto opened = openRegistryAt(prefix, true);
        EXPECT_EQ(opened.status, RegistryOpened::Status::ReadOnly) << tmp;
        const RegistryRefusal refusal = registryRefusal();
        EXPECT_EQ(refusal.kind, RegistryRefusal::Kind::WineRunning);
        EXPECT_EQ(refusal.directory, prefix);
        EXPECT_EQ(wine::processName(refusal.holder).rfind("wineserver", 0), 0u);
        // "wineserver -k" reaches a server only under the TMPDIR it was started with.
        EXPECT_EQ(refusal.wineTemp, tmp);
        EXPECT_FALSE(refusal.holderEnded);
        EXPECT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "x", "refused"),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(getString(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper"), "");
        expectUnchanged(before, userReg);
        stopServer(tmp);
        // Opened again, the registry would take changes now.
        EXPECT_TRUE(registryRefusal().holderEnded);
        closeRegistry();
    }

    // Now we hold the prefix: a Wine started meanwhile fails instead of
    // overwriting our changes later.
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "x", "ours"), ERROR_SUCCESS);
    std::string out;
    EXPECT_NE(runInPrefix(prefix, "wine cmd /c exit", &out), 0) << out;
    EXPECT_EQ(closeRegistry(), "");
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "x"), "ours");

    // A Wine started with another TMPDIR does not meet our lock: nothing is saved
    // under it and nothing more changes; the change waits in the journal.
    ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "x", "while wine ran"),
              ERROR_SUCCESS);
    const FileState before = stateOf(userReg);
    ASSERT_TRUE(startServer(otherTmp));
    const std::string message = flushRegistryIfIdle(0);
    EXPECT_NE(message.find("Wine was started on the prefix " + prefix), std::string::npos)
        << message;
    expectUnchanged(before, userReg);
    EXPECT_EQ(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "y", "refused"),
              ERROR_ACCESS_DENIED);
    stopServer(otherTmp);
    EXPECT_EQ(closeRegistry(), "");
    ASSERT_EQ(openRegistryAt(prefix, true, [](const std::string &) { return true; }).status,
              RegistryOpened::Status::Ok);
    EXPECT_EQ(getString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "x"), "while wine ran");
    closeRegistry();
    std::system(("rm -rf '" + prefix + "' '" + otherTmp + "'").c_str());
}

// Wine loads and saves a key nested 100,000 levels deep; we load Wine's file,
// save it after a change, merge it when it changed on disk, and let go of it.
TEST(WinePrefix, KeysNestedDeeperThanTheStackLoadSaveAndMerge)
{
    REQUIRE_PREFIX();
    // On a small stack, as a recursion per level would fail there already.
    OnSmallStack([] {
        constexpr int kLevels = 100000;
        const std::string prefix = scratchPrefix(true);
        const std::string userReg = prefix + "/user.reg";
        std::string deep = "Software\\\\Deep";
        for (int i = 0; i < kLevels; ++i)
            deep += "\\\\k";
        const std::string section = "\n[" + deep + "] 1796630854\n#time=1dd8622040f4106\n";
        writeFile(userReg, readFile(userReg) + section + "\"bottom\"=\"reached\"\n");
        std::string out;
        ASSERT_EQ(runInPrefix(prefix,
                              "wine reg add \"HKCU\\\\Software\\\\FromWine\" /v w /d 1 /f && "
                              "wineserver -w",
                              &out),
                  0)
            << out;
        ASSERT_NE(readFile(userReg).find("[Software\\\\FromWine]"), std::string::npos);
        ASSERT_NE(readFile(userReg).find(section + "\"bottom\"=\"reached\"\n"), std::string::npos);

        const auto bottom = [] {
            TRegistry reg;
            reg.SelectRoot(HKEY_CURRENT_USER);
            if (!reg.OpenPath("\\Software\\Deep")) return std::string("<no key>");
            for (int i = 0; i < kLevels; ++i)
                if (!reg.OpenPath("k")) return "<only " + std::to_string(i) + " levels>";
            return reg.ReadText("bottom");
        };
        ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
        EXPECT_EQ(bottom(), "reached");
        ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\Ours", "v", "1"), ERROR_SUCCESS);
        EXPECT_EQ(flushRegistryIfIdle(0), "");
        // Changed on disk meanwhile: read again and merged with what we hold.
        writeFile(userReg, readFile(userReg) + "\n[Software\\\\Theirs] 1796631433\n\"t\"=\"1\"\n");
        ASSERT_EQ(setString(HKEY_CURRENT_USER, "Software\\Ours", "v", "2"), ERROR_SUCCESS);
        EXPECT_EQ(closeRegistry(), "");
        const std::string saved = readFile(userReg);
        EXPECT_NE(saved.find(section + "\"bottom\"=\"reached\"\n"), std::string::npos);
        EXPECT_NE(saved.find("[Software\\\\Theirs]"), std::string::npos);

        ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
        EXPECT_EQ(bottom(), "reached");
        EXPECT_EQ(getString(HKEY_CURRENT_USER, "Software\\Ours", "v"), "2");
        EXPECT_EQ(closeRegistry(), "");
        std::system(("rm -rf '" + prefix + "'").c_str());
    });
}

TEST(WinePrefix, MalformedFilesAreReportedAndLeftUntouched)
{
    REQUIRE_PREFIX();
    const struct
    {
        const char *file;
        const char *where;
    } cases[] = {
        {"bad-header.reg", "user.reg:1: not a Wine registry file"},
        {"bad-value.reg", "user.reg:9: malformed value"},
        {"binary.reg", "user.reg:8: binary data"},
        {"garbage-line.reg", "user.reg:10: unrecognized input"},
        {"latin1.reg", "user.reg:8: invalid UTF-8"},
        {"truncated.reg", "user.reg:11: the file ends inside a value"},
        {"unclosed-key.reg", "user.reg:6: malformed key"},
    };
    const std::string prefix = scratchPrefix();
    const std::string userReg = prefix + "/user.reg";
    const std::string good = readFile(userReg);
    // A change to user.reg journaled by a run that never saved it: shown over a
    // user.reg that does not load, it has no key to go to.
    const pid_t pid = fork();
    if (pid == 0) {
        if (openRegistryAt(prefix, true).status != RegistryOpened::Status::Ok) _exit(2);
        _exit(setString(HKEY_CURRENT_USER, "Software\\QuarnelTest", "journaled", "only"));
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_EQ(status, 0);
    for (const auto &c : cases) {
        writeFile(userReg, readFile(std::string(QUARNEL_MALFORMED_DIR) + "/" + c.file));
        const FileState before = stateOf(userReg);
        const auto opened = openRegistryAt(prefix, true);
        EXPECT_EQ(opened.status, RegistryOpened::Status::ReadOnly) << c.file;
        EXPECT_NE(opened.message.find(prefix + "/" + c.where), std::string::npos)
            << c.file << ": " << opened.message;
        EXPECT_EQ(setString(HKEY_LOCAL_MACHINE, "Software\\QuarnelTest", "x", "y"),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(closeRegistry(), "");
        expectUnchanged(before, userReg);
    }
    writeFile(userReg, good);
    EXPECT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    closeRegistry();
}

TEST(WinePrefix, ChoosesThePrefixAndCreatesOnlyItsOwnRegistry)
{
    char templ[] = "/tmp/quarnel-home-XXXXXX";
    const std::string home = mkdtemp(templ);
    const char *saved[] = {getenv("WINEPREFIX"), getenv("HOME"), getenv("XDG_DATA_HOME")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                                saved[2] ? saved[2] : ""};
    chmod(home.c_str(), 0755);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    setenv("WINEPREFIX", (home + "/not-a-prefix").c_str(), 1);
    mkdir((home + "/not-a-prefix").c_str(), 0700);
    auto opened = openRegistry();
    EXPECT_EQ(opened.status, RegistryOpened::Status::Failed);
    EXPECT_NE(opened.message.find("not a Wine prefix"), std::string::npos);
    EXPECT_NE(access((home + "/not-a-prefix/system.reg").c_str(), F_OK), 0);

    unsetenv("WINEPREFIX");
    opened = openRegistry();
    ASSERT_EQ(opened.status, RegistryOpened::Status::Ok) << opened.message;
    EXPECT_EQ(opened.directory, home + "/.local/share/quarnel/registry");
    // The folders made on the way are this user's alone; the one already there keeps its mode.
    const auto modeOf = [](const std::string &path) {
        struct stat st
        {
        };
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    for (const char *made :
         {"/.local", "/.local/share", "/.local/share/quarnel", "/.local/share/quarnel/registry"})
        EXPECT_EQ(modeOf(home + made), 0700u) << made;
    EXPECT_EQ(modeOf(home), 0755u);
    EXPECT_EQ(setString(HKEY_CLASSES_ROOT, ".qrn", "", "Quarnel.File"), ERROR_SUCCESS);
    EXPECT_EQ(closeRegistry(), "");
    const std::string system = readFile(opened.directory + "/system.reg");
    EXPECT_EQ(
        system.rfind("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                     "#arch=win64\n",
                     0),
        0u);
    EXPECT_NE(system.find("[Software\\\\Classes\\\\.qrn]"), std::string::npos);
    EXPECT_NE(readFile(opened.directory + "/user.reg").find("[Software\\\\Microsoft"),
              std::string::npos);

    // ~/.wine wins over our own registry once it is a prefix.
    if (!freshPrefix().empty()) {
        mkdir((home + "/.wine").c_str(), 0700);
        writeFile(home + "/.wine/system.reg", readFile(freshPrefix() + "/system.reg"));
        EXPECT_EQ(wine::chooseRegistry().directory, home + "/.wine");
    }
    for (int i = 0; i < 3; ++i) {
        const char *name[] = {"WINEPREFIX", "HOME", "XDG_DATA_HOME"};
        saved[i] ? setenv(name[i], keep[i].c_str(), 1) : unsetenv(name[i]);
    }
    std::system(("rm -rf '" + home + "'").c_str());
}
