// A key nested 100,000 levels deep (Wine loads such files) made and deleted in
// registry files: the journal grows by a few bytes per key, not by the key's
// depth, a crash after the delete is replayed at the next start, nothing outside
// the registry folder changes and nothing hangs.
#include "tests/wine/WineTestSupport.h"

#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/winreg.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <memory>
#include <set>
#include <sys/stat.h>

using namespace quarnel::platform;
using namespace quarnel::test;

namespace {

constexpr int kLevels = 100000;
// A record of one level holds its kind, time, the key's name and how many keys
// it shares with the previous record's: about 40 bytes. Naming the key in full
// would take 4 bytes per level of its depth.
constexpr long kJournalBytesPerLevel = 100;

long sizeOf(const std::string &path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : -1L;
}

std::set<std::string> entriesOf(const std::string &dir)
{
    std::set<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

bool opened(const std::string &prefix, std::string *message = nullptr)
{
    const auto result = openRegistryAt(prefix, true);
    if (message) *message = result.message;
    return result.status == RegistryOpened::Status::Ok;
}

} // namespace

TEST(DeepKeys, MadeAndDeletedInRegistryFilesAtAFewJournalBytesPerLevel)
{
    REQUIRE_PREFIX();
    char templ[] = "/tmp/quarnel-deep-XXXXXX";
    const std::string outside = mkdtemp(templ);
    const std::shared_ptr<void> cleanUp(
        nullptr, [&](void *) { std::system(("rm -rf '" + outside + "'").c_str()); });
    const std::string prefix = outside + "/prefix";
    ASSERT_EQ(rename(scratchPrefix().c_str(), prefix.c_str()), 0);
    writeFile(outside + "/precious.txt", "someone else's file\n");
    const std::string journal = prefix + "/quarnel.journal";
    const std::string userReg = prefix + "/user.reg";
    const std::string deepInFile = "[Software\\\\Deep\\\\k\\\\k\\\\k";
    const long bound = kLevels * kJournalBytesPerLevel;

    // Made as the layer is used, one relative create per level, then saved.
    std::string report = withinDeadline(
        [&]() -> std::string {
            if (!opened(prefix)) return "not opened";
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
            for (int i = 0; i < kLevels; ++i) {
                HKEY next = nullptr;
                if (RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next,
                                    nullptr) != ERROR_SUCCESS)
                    return "level " + std::to_string(i) + " not made";
                RegCloseKey(key);
                key = next;
            }
            RegSetValueExA(key, "bottom", 0, REG_SZ, reinterpret_cast<const BYTE *>("reached"), 8);
            RegCloseKey(key);
            const long made = sizeOf(journal);
            if (made > bound) return "journal of " + std::to_string(made) + " bytes once made";
            return closeRegistry();
        },
        30);
    EXPECT_EQ(report, "");
    ASSERT_NE(readFile(userReg).find(deepInFile), std::string::npos);

    // Deleted as the window deletes it, and the process ends before any save.
    report = withinDeadline(
        [&]() -> std::string {
            if (!opened(prefix)) return "not opened";
            TRegistry reg;
            reg.SelectRoot(HKEY_CURRENT_USER);
            if (!reg.DeleteTree("\\Software\\Deep")) return "not deleted";
            return std::to_string(sizeOf(journal));
        },
        30);
    ASSERT_FALSE(report.empty());
    ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(report[0]))) << report;
    EXPECT_LT(std::stol(report), bound);
    // Reported done, so the journal holds it: the file does not yet.
    EXPECT_NE(readFile(userReg).find(deepInFile), std::string::npos);

    report = withinDeadline(
        [&]() -> std::string {
            std::string message;
            if (!opened(prefix, &message)) return "not opened: " + message;
            if (message.find("recovered") == std::string::npos) return "said: " + message;
            TRegistry reg;
            reg.SelectRoot(HKEY_CURRENT_USER);
            if (reg.HasKey("\\Software\\Deep")) return "the deleted key is back";
            return closeRegistry();
        },
        30);
    EXPECT_EQ(report, "");
    EXPECT_EQ(readFile(userReg).find("[Software\\\\Deep"), std::string::npos);
    EXPECT_LT(sizeOf(journal), 1024); // only the names of the files saved

    EXPECT_EQ(entriesOf(outside), (std::set<std::string>{"precious.txt", "prefix"}));
    EXPECT_EQ(readFile(outside + "/precious.txt"), "someone else's file\n");
}
