#include "prefixes/Vdf.h"

#include <gtest/gtest.h>

#include <string>

using quarnel::prefixes::kVdfMaxDepth;
using quarnel::prefixes::parseVdf;
using quarnel::prefixes::VdfNode;

TEST(Vdf, ReadsBlocksEscapesCommentsAndBareWords)
{
    const std::string text = "\xEF\xBB\xBF// written by Steam\n"
                             "\"LibraryFolders\" // the old form\n"
                             "{\n"
                             "\t\"contentstatsid\"\t\t\"-123\"\n"
                             "\t\"1\"\t\t\"/mnt/games\"\n"
                             "\t\"2\"\n\t{\n\t\t\"path\"\t\t\"D:\\\\Games \\\"new\\\"\"\n"
                             "\t\tlabel\tbare_word\n\t\t\"apps\" {}\n\t}\n"
                             "}\n"
                             "\"second\" \"multi\nline\"";
    VdfNode root;
    std::string error;
    ASSERT_TRUE(parseVdf(text, root, error)) << error;
    ASSERT_EQ(root.children.size(), 2u);
    const VdfNode *folders = root.child("libraryfolders"); // Steam ignores case
    ASSERT_TRUE(folders && folders->isBlock);
    EXPECT_EQ(folders->textOf("1"), "/mnt/games");
    const VdfNode *two = folders->child("2");
    ASSERT_TRUE(two);
    EXPECT_EQ(two->textOf("path"), "D:\\Games \"new\"");
    EXPECT_EQ(two->textOf("LABEL"), "bare_word");
    EXPECT_TRUE(two->child("apps")->isBlock);
    EXPECT_EQ(two->textOf("apps"), ""); // a block has no text
    EXPECT_EQ(two->textOf("missing"), "");
    EXPECT_EQ(root.textOf("second"), "multi\nline");
}

TEST(Vdf, RefusesMalformedTextWithItsLine)
{
    std::string deep;
    for (int i = 0; i < kVdfMaxDepth; ++i)
        deep += "\"k\" {\n";
    struct Case
    {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "line 1: no key-value pair"},
        {"// only a comment\n", "line 2: no key-value pair"},
        {"\"a\" \"b", "line 1: quoted text not closed"},
        {"\"a\"\n{\n\"b\" \"c\"\n", "line 4: block not closed at the end of the file"},
        {"\"a\" \"b\"\n}", "line 2: closing brace without a block"},
        {"\"a\" {\n\"b\"\n}", "line 3: key \"b\" without a value"},
        {"\"a\"", "line 1: key \"a\" without a value"},
        {"{ \"a\" \"b\" }", "line 1: block without a key"},
        {"\"a\" \"b\\q\"", "line 1: unknown escape in a quoted text"},
        {"\"a\" \"b\\", "line 1: quoted text not closed"},
        {std::string("\"a\" \"b\0\"", 8), "line 1: NUL byte in the text"},
        {"\"a\" b\x01", "line 1: control character"},
        {deep, "line " + std::to_string(kVdfMaxDepth) + ": blocks nested too deep"},
    };
    for (const Case &c : cases) {
        VdfNode root;
        std::string error;
        EXPECT_FALSE(parseVdf(c.text, root, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}
