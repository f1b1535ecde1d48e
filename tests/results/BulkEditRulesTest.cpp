#include "results/BulkEditRules.h"
#include "results/MultiStringData.h"
#include "search/Matcher.h"

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

// With options the replace rewrites what the search matched, where it looked.
TEST(BulkEditRules, ReplaceWithOptionsRewritesWhatTheSearchMatched)
{
    SearchOptions pattern;
    pattern.pattern = true;
    const Matcher dll("steam_api(64)?\\.dll", pattern);
    std::string data = "C:\\x\\STEAM_API64.DLL and steam_api.dll\0tail"s;
    EXPECT_TRUE(replaceInStringData(data, dll, "stub\\1.dll"));
    EXPECT_EQ(data, "C:\\x\\stub64.dll and steam_api.dll\0tail"s);
    data = "one\0steam_api.dll\0\0"s;
    EXPECT_TRUE(replaceInMultiString(data, dll, "[\\0]"));
    EXPECT_EQ(data, "one\0[steam_api.dll]\0\0"s);

    SearchOptions exact;
    exact.matchCase = exact.wholeText = true;
    const Matcher version("Version", exact);
    std::string branch = "Software\\Version\\";
    EXPECT_TRUE(replaceInOwnName(branch, version, "Release"));
    EXPECT_EQ(branch, "Software\\Release\\");
    branch = "Software\\version\\";
    EXPECT_FALSE(replaceInOwnName(branch, version, "Release"));
    data = "Version 2\0"s;
    EXPECT_FALSE(replaceInStringData(data, version, "x")); // not the whole text

    // Only the places searched: a data search renames neither the value nor its key.
    SearchOptions inData;
    inData.keys = inData.names = false;
    const ReplacePlan dataOnly =
        planReplace({"HKEY_CURRENT_USER", "Soft\\Version\\", "Version", "REG_SZ", "Version"},
                    Matcher("version", inData), "Release");
    EXPECT_TRUE(dataOnly.rewritesData);
    EXPECT_FALSE(dataOnly.newValueName);
    EXPECT_FALSE(dataOnly.keyNameHit);
    const ReplacePlan everywhere =
        planReplace({"HKEY_CURRENT_USER", "Soft\\Version\\", "Version", "REG_SZ", "Version"},
                    Matcher("version"), "Release");
    EXPECT_EQ(everywhere.newValueName, "Release");
    EXPECT_EQ(everywhere.newBranch, "Soft\\Release\\");

    // Number and binary rows hold no text: refused whole, with the reason.
    for (const char *type : {"REG_DWORD", "REG_BINARY", "REG_UNKNOWN"}) {
        const ReplacePlan refused =
            planReplace({"HKEY_CURRENT_USER", "Soft\\Version\\", "Version", type, "00000780"},
                        Matcher("version"), "x");
        EXPECT_NE(refused.refusal.find(type), std::string::npos) << type;
        EXPECT_FALSE(refused.rewritesData || refused.newValueName || refused.keyNameHit) << type;
    }
}
