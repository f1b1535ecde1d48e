#include "registry/text/ValueEditText.h"

#include <gtest/gtest.h>

using namespace ValueEditText;

namespace {

Bytes bytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(ValueEditText, EachTypeGetsItsEditorAndNumbersOfAnotherSizeTheHexEditor)
{
    EXPECT_EQ(editorFor(REG_SZ, 3), Editor::Text);
    EXPECT_EQ(editorFor(REG_EXPAND_SZ, 0), Editor::Text);
    EXPECT_EQ(editorFor(REG_MULTI_SZ, 4), Editor::MultiText);
    EXPECT_EQ(editorFor(REG_DWORD, 4), Editor::Number);
    EXPECT_EQ(editorFor(REG_DWORD_BIG_ENDIAN, 4), Editor::Number);
    EXPECT_EQ(editorFor(REG_QWORD, 8), Editor::Number);
    EXPECT_EQ(editorFor(REG_DWORD, 3), Editor::Hex);
    EXPECT_EQ(editorFor(REG_QWORD, 4), Editor::Hex);
    EXPECT_EQ(editorFor(REG_BINARY, 4), Editor::Hex);
    EXPECT_EQ(editorFor(REG_NONE, 0), Editor::Hex);
    EXPECT_EQ(editorFor(0x1234, 2), Editor::Hex);
}

TEST(ValueEditText, StringsReadUpToTheirNulAndAreStoredWithOne)
{
    EXPECT_EQ(textOf(bytes(std::string("a\0\xE4\0\0\0", 6))), "a\xC3\xA4");
    EXPECT_EQ(textOf(bytes(std::string("a\0b\0c", 5))), "ab"); // no NUL, an odd byte
    EXPECT_EQ(textOf({}), "");
    EXPECT_EQ(storedText("a\xC3\xA4"), bytes(std::string("a\0\xE4\0\0\0", 6)));
    EXPECT_EQ(storedText(""), bytes(std::string("\0\0", 2)));
}

TEST(ValueEditText, MultiStringsAreOneEntryALineWithoutEmptyOnes)
{
    const Bytes stored = bytes(std::string("a\0\0\0b\0c\0\0\0\0\0", 12));
    EXPECT_EQ(linesOf(stored), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(linesOf(bytes(std::string("x\0", 2))), std::vector<std::string>{"x"}); // no end
    EXPECT_EQ(storedLines({"a", "", "bc"}), stored);
    EXPECT_EQ(storedLines({}), bytes(std::string("\0\0", 2)));
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(joinLines({"a", "b"}), "a\nb");
    EXPECT_EQ(joinLines({}), "");
}

TEST(ValueEditText, NumbersInBothBasesAndByteOrders)
{
    const Bytes little = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(numberOf(little, REG_DWORD), 0x12345678u);
    EXPECT_EQ(numberOf(little, REG_DWORD_BIG_ENDIAN), 0x78563412u);
    EXPECT_EQ(storedNumber(0x12345678, REG_DWORD), little);
    EXPECT_EQ(storedNumber(0x78563412, REG_DWORD_BIG_ENDIAN), little);
    EXPECT_EQ(storedNumber(0x0102030405060708, REG_QWORD), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(numberOf(Bytes{8, 7, 6, 5, 4, 3, 2, 1}, REG_QWORD), 0x0102030405060708u);
    EXPECT_EQ(formatNumber(0xBEEF, true), "beef");
    EXPECT_EQ(formatNumber(0, true), "0");
    EXPECT_EQ(formatNumber(48879, false), "48879");

    std::string error;
    EXPECT_EQ(parseNumber(" 0xFFffFFff ", true, 4, error), 0xFFFFFFFFu);
    EXPECT_EQ(parseNumber("4294967295", false, 4, error), 0xFFFFFFFFu);
    EXPECT_EQ(parseNumber("18446744073709551615", false, 8, error), UINT64_MAX);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(parseNumber("4294967296", false, 4, error));
    EXPECT_EQ(error,
              "The number is larger than 4294967295 (decimal), the largest this type holds.");
    EXPECT_FALSE(parseNumber("18446744073709551616", false, 8, error));
    EXPECT_FALSE(parseNumber("100000000", true, 4, error));
    EXPECT_FALSE(parseNumber("12a", false, 4, error));
    EXPECT_EQ(error, "\"12a\" is not a decimal number.");
    // Not a number, whatever its size: every character counts before the size.
    for (const char *text : {"-1", "0x", "100000000-", "1 2"}) {
        EXPECT_FALSE(parseNumber(text, true, 4, error)) << text;
        EXPECT_EQ(error, "\"" + std::string(text) + "\" is not a hexadecimal number.");
    }
    EXPECT_FALSE(parseNumber("  ", true, 4, error));
    EXPECT_EQ(error, "Please enter a number.");

    // The base switch: the same number, too large for the type or not; nothing
    // for a text that is no number where it was typed.
    EXPECT_EQ(otherBase("100000000", false), "4294967296");
    EXPECT_EQ(otherBase(" 0xff ", false), "255");
    EXPECT_EQ(otherBase("4294967296", true), "100000000");
    EXPECT_EQ(otherBase("18446744073709551615", true), "ffffffffffffffff");
    for (const char *text : {"-1", "12g", "", "18446744073709551616"})
        EXPECT_EQ(otherBase(text, true), "") << text;
}

TEST(ValueEditText, HexPairsSixteenALineAndBackWithMargins)
{
    Bytes data;
    for (int i = 0; i < 18; ++i)
        data.push_back(static_cast<uint8_t>(0x3E + i));
    data.back() = 0x00;
    const std::string pairs = hexPairs(data);
    EXPECT_EQ(pairs, "3e 3f 40 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d\n4e 00");
    std::string error;
    EXPECT_EQ(parseHexPairs(pairs, error), data);
    EXPECT_EQ(parseHexPairs("0A,ff\r\n 10", error), (Bytes{0x0A, 0xFF, 0x10}));
    EXPECT_EQ(parseHexPairs("", error), Bytes{});
    EXPECT_FALSE(parseHexPairs("0a f", error));
    EXPECT_EQ(error, "Byte 2 is not a pair of hexadecimal digits.");
    EXPECT_FALSE(parseHexPairs("0g", error));
    EXPECT_EQ(offsetColumn(data.size()), "00000000\n00000010");
    EXPECT_EQ(offsetColumn(0), "00000000");
    EXPECT_EQ(printableColumn(data), ">?@ABCDEFGHIJKLM\nN.");
}

TEST(ValueEditText, UniqueNamesCountUpFromOne)
{
    const std::vector<std::string> taken = {"New Key #1", "New Key #2"};
    const auto isTaken = [&](const std::string &name) {
        return std::find(taken.begin(), taken.end(), name) != taken.end();
    };
    EXPECT_EQ(uniqueName("New Key", isTaken), "New Key #3");
    EXPECT_EQ(uniqueName("New Value", isTaken), "New Value #1");
}
