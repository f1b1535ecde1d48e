#include "registry/KeyPath.h"

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
