#include "registry/api/KeyPath.h"
#include "registry/text/RegistryPathText.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using Names = std::vector<std::string_view>;

// Result rows, tree paths and typed paths all come with stray backslashes; none
// of them may turn into a key with an empty name.
TEST(KeyNames, EmptyNamesFallAwayWhereverTheyStand)
{
    EXPECT_EQ(KeyNames("Software\\Wine\\"), (Names{"Software", "Wine"}));
    EXPECT_EQ(KeyNames("\\\\Software\\\\\\Wine"), (Names{"Software", "Wine"}));
    EXPECT_EQ(KeyNames("Wine"), (Names{"Wine"}));
    EXPECT_TRUE(KeyNames("").empty());
    EXPECT_TRUE(KeyNames("\\\\").empty());
    // Names keep their bytes and their case.
    EXPECT_EQ(KeyNames("a b\\\xC3\xA4\\X"), (Names{"a b", "\xC3\xA4", "X"}));
}

// One key in every shape, read back from every shape; the root's shapes too.
TEST(KeyPath, ShapesJoinParentAndLeaf)
{
    const KeyPath path = KeyPath().join("Software").join("Wine");
    EXPECT_EQ(path.walkerPath(), "\\Software\\Wine\\");
    EXPECT_EQ(path.branch(), "Software\\Wine\\");
    EXPECT_EQ(path.nodePath(), "\\Software\\Wine");
    EXPECT_EQ(path.relative(), "Software\\Wine");
    EXPECT_EQ(KeyPath::fromWalkerPath(path.walkerPath()), path);
    EXPECT_EQ(KeyPath::fromBranch(path.branch()), path);
    EXPECT_EQ(KeyPath::fromNodePath(path.nodePath()), path);
    EXPECT_EQ(KeyPath::fromRelative(path.relative()), path);
    EXPECT_EQ(KeyPath::fromNames("\\\\Software\\\\Wine\\"), path);
    EXPECT_EQ(KeyPath::branchOfWalkerPath(path.walkerPath()), path.branch());
    EXPECT_EQ(KeyPath::walkerChild(path.walkerPath(), "X"), path.join("X").walkerPath());
    EXPECT_EQ(path.depth(), 2u);
    EXPECT_EQ(path.leaf(), "Wine");
    EXPECT_EQ(path.parent(), KeyPath().join("Software"));
    EXPECT_EQ(path.parent().parent(), KeyPath());

    const KeyPath root;
    EXPECT_TRUE(root.isRoot());
    EXPECT_EQ(root.walkerPath(), "\\");
    EXPECT_EQ(root.branch(), "");
    EXPECT_EQ(root.nodePath(), "");
    EXPECT_EQ(root.depth(), 0u);
    EXPECT_EQ(root.leaf(), "");
    EXPECT_EQ(KeyPath::fromWalkerPath("\\"), root);
    EXPECT_EQ(KeyPath::fromBranch(""), root);
    EXPECT_EQ(KeyPath::branchOfWalkerPath("\\"), "");
    // Names keep their bytes and their case; a blank is part of a name.
    EXPECT_EQ(KeyPath::fromBranch("a b\\\xC3\xA4\\").leaf(), "\xC3\xA4");
}

// The one reader of typed paths (--key, export, import, Go to key): every form a
// user or a file writes a root in reads as the same key.
TEST(RegistryPathText, ReadsEveryFormOfATypedPath)
{
    struct Case
    {
        std::string_view text;
        std::string_view full; // root|part|part, the root's display name
        int rootIndex;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Wine", "HKEY_CURRENT_USER|Software|Wine", 1},
        {"hkey_current_user\\\\Software\\", "HKEY_CURRENT_USER|Software", 1},
        {"HKCU\\Software", "HKEY_CURRENT_USER|Software", 1},
        {"Computer\\HKLM\\System", "HKEY_LOCAL_MACHINE|System", 2},
        {"my computer\\HKEY_USERS\\.Default", "HKEY_USERS|.Default", 3},
        {"\\HKU", "HKEY_USERS", 3},
        {"HKCC\\x", "HKEY_CURRENT_CONFIG|x", 4},
        // A key name keeps its blanks: a file may hold one ending in a blank.
        {"HKCU\\Trailing \\", "HKEY_CURRENT_USER|Trailing ", 1},
        // No root: the first name as written, for the message that says so.
        {"Software\\Wine", "Software|Wine", -1},
        {"Computer\\Foo", "Foo", -1},
        {"Computer", "", -1},
        {"", "", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const RegistryPathText at = RegistryPathText::fromFull(c.text);
        std::string all = at.rootName();
        for (const std::string &part : at.parts())
            all += "|" + part;
        EXPECT_EQ(all, c.full);
        EXPECT_EQ(at.rootIndex(), c.rootIndex);
        EXPECT_EQ(at.root() != nullptr, c.rootIndex >= 0);
    }
    // A root named exactly, as result rows and the tree hold it, is not read again.
    EXPECT_EQ(RegistryPathText("HKEY_USERS", "\\a\\").full(), "HKEY_USERS\\a");
    EXPECT_EQ(RegistryPathText("hkey_users", "a").root(), nullptr);
}
