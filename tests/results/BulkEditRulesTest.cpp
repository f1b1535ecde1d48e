#include "results/BulkEditRules.h"
#include "results/MultiStringData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;
using Pieces = std::vector<std::string>;

TEST(MultiStringData, SplitAndJoinGiveBackEveryByte)
{
    const std::vector<std::string> samples = {
        ""s,       "\0"s,         "a\0b\0\0"s, "a\0\0b\0\0"s, "no nul"s, "a\0b"s, "a\r\nb\0c\0\0"s,
        "\0\0\0"s, "x\0\0\0tail"s};
    for (const std::string &data : samples)
        EXPECT_EQ(joinWithNul(splitAtNul(data)), data);
    EXPECT_EQ(splitAtNul("a\0b\0\0"s), (Pieces{"a", "b", "", ""}));
    EXPECT_EQ(splitAtNul("a\r\nb\0\0"s), (Pieces{"a\r\nb", "", ""}));
}

TEST(MultiStringData, ReplacesFirstHitOfEachVisibleEntry)
{
    std::string data = "aFOO\0b\0foofoo\0\0"s;
    EXPECT_TRUE(replaceInMultiString(data, "foo", "x"));
    EXPECT_EQ(data, "ax\0b\0xfoo\0\0"s);

    // Entries after the first empty one are beyond what readers see.
    data = "a\0\0foo\0\0"s;
    EXPECT_FALSE(replaceInMultiString(data, "foo", "x"));
    EXPECT_EQ(data, "a\0\0foo\0\0"s);

    // Unterminated data keeps its shape.
    data = "foo\0foo"s;
    EXPECT_TRUE(replaceInMultiString(data, "foo", ""));
    EXPECT_EQ(data, "\0"s);
}

TEST(BulkEditRules, StringDataChangesOnlyBeforeTheFirstNul)
{
    std::string data = "Foo Bar foo\0"s;
    EXPECT_TRUE(replaceInStringData(data, "foo", "x"));
    EXPECT_EQ(data, "x Bar foo\0"s);

    data = "ab\0foo\0"s;
    EXPECT_FALSE(replaceInStringData(data, "foo", "x"));
    EXPECT_EQ(data, "ab\0foo\0"s);

    data = "unterminated foo"s;
    EXPECT_TRUE(replaceInStringData(data, "foo", "bar"));
    EXPECT_EQ(data, "unterminated bar");
}

TEST(BulkEditRules, OwnNameIsTheLastKeyNameOfTheBranch)
{
    std::string branch = "Software\\Foo\\";
    EXPECT_TRUE(replaceInOwnName(branch, "foo", "Bar"));
    EXPECT_EQ(branch, "Software\\Bar\\");

    branch = "Foo\\";
    EXPECT_TRUE(replaceInOwnName(branch, "foo", "x\\y"));
    EXPECT_EQ(branch, "x\\y\\");

    // Only the own name counts, and only its first hit.
    branch = "foo\\Bar\\";
    EXPECT_FALSE(replaceInOwnName(branch, "foo", "x"));
    branch = "A\\foofoo\\";
    EXPECT_TRUE(replaceInOwnName(branch, "foo", "x"));
    EXPECT_EQ(branch, "A\\xfoo\\");

    EXPECT_EQ(ownNameSpan("A\\\\").length, 0u);
}

TEST(BulkEditRules, KeysMoveDeeperFirstWithinEachRootInListOrder)
{
    const std::vector<ResultRow> rows = {{"HKEY_USERS", "S\\a\\", "", "", ""},
                                         {"HKEY_USERS", "S\\a\\b\\", "v", "", ""},
                                         {"HKEY_LOCAL_MACHINE", "a\\b\\c\\", "", "", ""},
                                         {"HKEY_USERS", "S\\c\\", "", "", ""},
                                         {"HKEY_USERS", "S\\a\\b\\", "", "", ""},
                                         {"HKEY_LOCAL_MACHINE", "", "", "", ""}};
    EXPECT_EQ(keyMoveOrder(rows), (std::vector<std::size_t>{1, 4, 0, 3, 2, 5}));
}
