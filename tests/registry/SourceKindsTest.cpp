// The kinds of registry: what a folder holds of one, and a registry opened as a
// copy, which every kind can be: its keys read, every change refused, nothing
// written beside it.
#include "registry/kinds/SourceKinds.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"
#include "registry/wine/WineKinds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace quarnel::platform;
using Holding = SourceKind::Holding;

namespace {

const char *const kSystem = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
                            "#arch=win64\n\n[Software\\\\Copied] 1700000000\n\"v\"=\"x\"\n";
const char *const kUser = "WINE REGISTRY Version 2\n;; All keys relative to "
                          "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n";

struct Scratch
{
    std::string root;
    Scratch()
    {
        char pattern[] = "/tmp/quarnel-kinds-XXXXXX";
        root = ::mkdtemp(pattern);
    }
    ~Scratch() { fs::remove_all(root); }
    std::string folder(const std::string &name) const
    {
        fs::create_directories(root + "/" + name);
        return root + "/" + name;
    }
};

std::size_t entries(const std::string &folder)
{
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

} // namespace

TEST(SourceKinds, AFolderHoldsAPrefixWholeInPartOrNotAtAll)
{
    const Scratch scratch;
    const struct
    {
        const char *name;
        const char *make; // shell command run in the folder
        Holding held;
    } cases[] = {
        {"empty", "true", Holding::None},
        {"whole", "echo >system.reg && echo >user.reg", Holding::Whole},
        {"no-user", "echo >system.reg", Holding::Part},
        // Opening says what is wrong with a file that is not regular.
        {"fifo", "mkfifo system.reg && echo >user.reg", Holding::Part},
        {"user-fifo", "echo >system.reg && mkfifo user.reg", Holding::Part},
        {"folder", "mkdir system.reg && echo >user.reg", Holding::None},
        {"only-user", "echo >user.reg", Holding::None},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratch.folder(c.name);
        ASSERT_EQ(std::system(("cd '" + folder + "' && " + c.make).c_str()), 0);
        EXPECT_EQ(wine::prefixKind().holds(folder), c.held);
        EXPECT_EQ(kindHolding(folder), c.held == Holding::None ? nullptr : &wine::prefixKind());
        EXPECT_EQ(kindHolding(folder, Holding::Whole),
                  c.held == Holding::Whole ? &wine::prefixKind() : nullptr);
    }
}

TEST(SourceKinds, ARegistryOpenedAsACopyIsReadAndRefusesEveryChange)
{
    const Scratch scratch;
    const std::string folder = scratch.folder("prefix");
    std::ofstream(folder + "/system.reg") << kSystem;
    std::ofstream(folder + "/user.reg") << kUser;
    const std::size_t before = entries(folder);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "opened" : "opened again");
        const RegistryOpened opened =
            round == 0 ? openRegistryAt(wine::prefixKind(), folder, {}, OpenFor::Copy)
                       : reopenRegistry();
        ASSERT_EQ(opened.status, RegistryOpened::Status::ReadOnly) << opened.message;
        EXPECT_EQ(opened.kind, &wine::prefixKind());
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Copied", 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        EXPECT_NE(RegSetValueExA(key, "w", 0, REG_SZ, reinterpret_cast<const BYTE *>("y"), 2),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        const RegistryRefusal refusal = registryRefusal();
        EXPECT_EQ(refusal.kind, RegistryRefusal::Kind::Other);
        EXPECT_NE(refusal.detail.find("copy"), std::string::npos) << refusal.detail;
        // No backup, no undo file: a copy keeps nothing beside it.
        EXPECT_EQ(safetyFolder(), "");
        EXPECT_EQ(backupBeforeFirstChange(), "");
        std::string path;
        EXPECT_NE(writeUndoFile("delete", "x", path), "");
    }
    EXPECT_EQ(closeRegistry(), "");
    EXPECT_EQ(entries(folder), before);

    // Where no registry is, the copy's opening says which file is missing.
    const RegistryOpened none =
        openRegistryAt(wine::prefixKind(), scratch.folder("none"), {}, OpenFor::Copy);
    EXPECT_EQ(none.status, RegistryOpened::Status::Failed);
    EXPECT_NE(none.message.find("system.reg"), std::string::npos) << none.message;
}
