// Registries searched from their files beside the open one: read as they stand
// (nothing written, no lock), on several threads at once, each finding what a
// search on its own finds, while the open registry stays what the others see.
#include "search/RegistryCopySearch.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"
#include "search/Matcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

class CountingSink : public SearchSink
{
public:
    void found(const ResultRowView &) override { ++hits; }
    std::size_t hits = 0;
};

class RowSink : public SearchSink
{
public:
    void found(const ResultRowView &row) override
    {
        rows.push_back(std::string(row.branch) + "|" + std::string(row.name) + "|" +
                       std::string(row.value));
    }
    std::vector<std::string> rows;
};

// A folder of its own, gone with the test.
struct Scratch
{
    std::string path;
    Scratch()
    {
        char pattern[] = "/tmp/quarnel-copy-search-XXXXXX";
        if (const char *made = ::mkdtemp(pattern)) path = made;
    }
    ~Scratch() { fs::remove_all(path); }
};

// system.reg with a key named after the needle, and the start of user.reg.
void startRegistry(const std::string &folder, std::ofstream &user)
{
    fs::create_directories(folder);
    std::ofstream(folder + "/system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
           "[Software\\\\CopyNeedleKey] 1700000000\n";
    user.open(folder + "/user.reg");
    user << "WINE REGISTRY Version 2\n;; All keys relative to "
            "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n";
}

// A registry of `keys` keys below HKEY_CURRENT_USER\Software, every `every`th
// holding a value with the needle, one with it in hex-written string data, and a
// key named after it in system.reg.
void makeRegistry(const std::string &folder, int keys, int every)
{
    std::ofstream user;
    startRegistry(folder, user);
    for (int i = 0; i < keys; ++i) {
        user << "\n[Software\\\\Area" << i % 7 << "\\\\Key" << i << "] 1700000000\n";
        user << "\"plain\"=\"nothing here " << i << "\"\n";
        if (i % every == 0) user << "\"v\"=\"a copyneedle " << i << "\"\n";
    }
    // String data without its closing NUL is written as hex: it is found all the same.
    user << "\n[Software\\\\Hex] 1700000000\n\"h\"=hex(1):63,00,6f,00,70,00,79,00,6e,00,65,00,"
            "65,00,64,00,6c,00,65,00\n";
}

std::size_t count(const std::string &folder, std::string &error)
{
    CountingSink sink;
    if (!searchRegistryCopy(folder, "CopyNeedle", SearchScope::defaultRoots(false), sink, error))
        return SIZE_MAX;
    return sink.hits;
}

} // namespace

TEST(RegistryCopySearch, ThreadsSideBySideFindWhatEachFindsAloneAndChangeNothing)
{
    const Scratch scratch;
    ASSERT_FALSE(scratch.path.empty());
    const std::string &root = scratch.path;
    std::vector<std::string> folders;
    std::vector<std::size_t> alone;
    for (int r = 0; r < 6; ++r) {
        folders.push_back(root + "/r" + std::to_string(r));
        makeRegistry(folders.back(), 3000 + 500 * r, 3 + r);
        std::string error;
        alone.push_back(count(folders.back(), error));
        ASSERT_EQ(error, "");
        // One key row in HKEY_LOCAL_MACHINE, one data row a needle value and the hex one.
        EXPECT_EQ(alone.back(), 2 + (3000 + 500 * r + 2 + r) / (3 + r));
    }
    // The open registry is another one; the main thread works on it meanwhile.
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    HKEY mine = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &mine, nullptr),
              ERROR_SUCCESS);

    std::vector<std::size_t> together(folders.size() * 8);
    std::atomic<std::size_t> next = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (std::size_t i; (i = next++) < together.size();) {
                std::string error;
                together[i] = count(folders[i % folders.size()], error);
            }
        });
    for (int i = 0; i < 2000; ++i) {
        HKEY sub = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, KEY_READ, &sub),
                  ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    for (std::thread &t : threads)
        t.join();
    for (std::size_t i = 0; i < together.size(); ++i)
        EXPECT_EQ(together[i], alone[i % folders.size()]) << folders[i % folders.size()];
    RegCloseKey(mine);
    EXPECT_EQ(quarnel::platform::openHandleCount(), 0u);

    // Read only: nothing beside the two files, and a change in a copy is refused.
    for (const std::string &folder : folders)
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    std::string error;
    auto copy = quarnel::platform::readRegistryCopy(folders[0], error);
    ASSERT_TRUE(copy) << error;
    {
        const quarnel::platform::ThreadStoreScope scope(copy);
        HKEY key = nullptr;
        EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
    }
    // A folder without registry files, or with a broken one, says so.
    EXPECT_EQ(count(root + "/none", error), SIZE_MAX);
    EXPECT_NE(error.find("system.reg"), std::string::npos) << error;
    std::ofstream(folders[1] + "/user.reg") << "WINE REGISTRY Version 2\n[unclosed\n";
    error.clear();
    EXPECT_EQ(count(folders[1], error), SIZE_MAX);
    EXPECT_NE(error.find("user.reg"), std::string::npos) << error;
}

// The files are read only where what every hit holds stands, for the options that
// promise such a text: each finds the rows a walk of the whole registry finds.
TEST(RegistryCopySearch, EveryOptionFindsInThePartsReadWhatTheWholeRegistryGives)
{
    const Scratch scratch;
    ASSERT_FALSE(scratch.path.empty());
    const std::string &folder = scratch.path;
    std::ofstream user;
    startRegistry(folder, user);
    for (int i = 0; i < 300; ++i)
        user << "\n[Software\\\\Area" << i % 7 << "\\\\Key" << i << "] 1700000000\n"
             << "\"plain\"=\"nothing here " << i << "\"\n"
             << (i % 50 == 0 ? "\"CopyNeedle\"=\"a copyneedle\"\n" : "")
             << (i % 60 == 0 ? "\"n\"=dword:000004d2\n\"b\"=hex:ca,fe,00\n" : "")
             << (i % 70 == 0 ? "\"m\"=hex(7):63,00,6f,00,70,00,79,00,6e,00,65,00,65,00,64,00,"
                               "6c,00,65,00,00,00,00,00\n"
                             : "");
    user.close();
    using S = SearchOptions;
    const struct
    {
        const char *text;
        std::vector<bool S::*> flipped; // from the default options
        bool readInPart;
    } cases[] = {
        {"CopyNeedle", {}, true},
        {"CopyNeedle", {&S::matchCase}, true},
        {"a copyneedle", {&S::wholeText}, true},
        {"CopyNeedle", {&S::keys, &S::data}, true}, // names only
        {"CopyNeedle", {&S::pattern}, true},        // a pattern without operators is the text
        {"copy.eedle", {&S::pattern}, false},
        {"copyneedle", {&S::numbers}, true}, // no number: numbers are not looked at
        {"1234", {&S::numbers}, false},
        {"ca fe", {&S::binary}, false},
    };
    const SearchScope scope = SearchScope::defaultRoots(false);
    for (const auto &c : cases) {
        SearchOptions options;
        for (bool S::*flag : c.flipped)
            options.*flag = !(options.*flag);
        const Matcher matcher(c.text, options);
        SCOPED_TRACE(std::string(c.text) + " holding \"" + matcher.textEveryHitHolds() + "\"");
        EXPECT_EQ(!matcher.textEveryHitHolds().empty(), c.readInPart);
        std::string error;
        RowSink inPart;
        ASSERT_TRUE(searchRegistryCopy(folder, matcher, scope, inPart, error)) << error;
        auto whole = quarnel::platform::readRegistryCopy(folder, error);
        ASSERT_TRUE(whole) << error;
        RowSink all;
        {
            const quarnel::platform::ThreadStoreScope onThisThread(whole);
            SearchEngine(matcher, all).run(scope);
        }
        EXPECT_FALSE(all.rows.empty());
        EXPECT_EQ(inPart.rows, all.rows);
    }
}
