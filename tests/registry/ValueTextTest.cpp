#include "registry/text/ValueText.h"
#include "registry/api/MultiStringSplitter.h"
#include "registry/api/RootTable.h"

#include <gtest/gtest.h>

using Entries = std::vector<std::string>;

TEST(RootTable, LookupIsExact)
{
    EXPECT_EQ(RootHandleByName("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(RootHandleByName("HKEY_PERFORMANCE_DATA"), HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(RootTable()[4].handle, HKEY_CURRENT_CONFIG);
    EXPECT_EQ(RootHandleByName("hkey_users"), nullptr);
    EXPECT_EQ(RootHandleByName(""), nullptr);
    EXPECT_EQ(RootHandleByName("My Computer"), nullptr);
}

TEST(MultiStringSplitter, CutsAtNulCrAndLf)
{
    EXPECT_EQ(SplitMultiString("one\0two\0\0", 9), (Entries{"one", "two"}));
    EXPECT_EQ(SplitMultiString("a\r\nb\0\0", 6), (Entries{"a", "", "b"}));
    EXPECT_EQ(SplitMultiString("a\0\0b\0\0", 6), (Entries{"a"}));
    EXPECT_EQ(SplitMultiString("\0", 1), Entries{});
    EXPECT_EQ(SplitMultiString("abc", 0), Entries{});
    EXPECT_EQ(SplitMultiString(nullptr, 5), Entries{});
    EXPECT_EQ(SplitMultiString("abc", 3), (Entries{"abc"}));
    // Never reads at or past the size.
    EXPECT_EQ(SplitMultiString("ab\0zz", 2), (Entries{"ab"}));
}

TEST(ValueText, Texts)
{
    EXPECT_EQ(DwordText(1), "00000001");
    EXPECT_EQ(DwordText(255), "000000FF");
    EXPECT_EQ(DwordText(4294967295u), "FFFFFFFF");
    EXPECT_EQ(BinaryText("\x00\x1F\xA0", 3), "00 1F A0 ");
    EXPECT_EQ(BinaryText("", 0), "");
    EXPECT_EQ(MultiStringText({"one", "two"}), "one two ");
    EXPECT_EQ(MultiStringText(SplitMultiString("a\r\nb\0\0", 6)), "a  b ");
    EXPECT_EQ(MultiStringText({}), "");
    EXPECT_EQ(StringValueText(""), "(Value not set)");
    EXPECT_EQ(StringValueText("x"), "x");
    EXPECT_EQ(ValueImageIndex(REG_EXPAND_SZ), 3);
    EXPECT_EQ(ValueImageIndex(REG_DWORD), 4);
    EXPECT_EQ(PathDisplayText("HKEY_LOCAL_MACHINE", "\\SOFTWARE\\Classes"),
              "My Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    EXPECT_EQ(PathDisplayText("HKEY_USERS", ""), "My Computer\\HKEY_USERS");
}

// Every type has its name and its data a text, in the value list, the result list
// and the command line alike: numbers as their number where the size fits the
// type, everything else as its bytes.
TEST(ValueText, EveryTypeHasItsNameAndDataText)
{
    using namespace std::string_literals;
    struct Case
    {
        DWORD type;
        std::string bytes;
        std::string_view typeText, typeOrNumber, value;
    };
    const Case cases[] = {
        {REG_DWORD, "\x80\x07\0\0"s, "REG_DWORD", "REG_DWORD", "00000780"},
        {REG_DWORD, "\x80\x07", "REG_DWORD", "REG_DWORD", "00000780"}, // short: zeros above
        {REG_DWORD_BIG_ENDIAN, "\0\0\x07\x80"s, "REG_DWORD_BIG_ENDIAN", "REG_DWORD_BIG_ENDIAN",
         "00000780"},
        {REG_DWORD_BIG_ENDIAN, "\x07\x80", "REG_DWORD_BIG_ENDIAN", "REG_DWORD_BIG_ENDIAN",
         "07 80 "},
        {REG_QWORD, "\x80\x07\0\0\0\0\0\x90"s, "REG_QWORD", "REG_QWORD", "9000000000000780"},
        {REG_QWORD, "\x80\x07\0\0"s, "REG_QWORD", "REG_QWORD", "80 07 00 00 "},
        {REG_BINARY, "\xDE\xAD", "REG_BINARY", "REG_BINARY", "DE AD "},
        {REG_NONE, "v\0"s, "REG_NONE", "REG_NONE", "76 00 "},
        {REG_LINK, "\\\0"s, "REG_LINK", "REG_LINK", "5C 00 "},
        {REG_RESOURCE_LIST, "\x01", "REG_RESOURCE_LIST", "REG_RESOURCE_LIST", "01 "},
        {0x1234, "AB", "REG_UNKNOWN", "type 0x1234", "41 42 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typeOrNumber);
        EXPECT_EQ(TypeText(c.type), c.typeText);
        EXPECT_EQ(TypeTextOrNumber(c.type), c.typeOrNumber);
        EXPECT_EQ(OtherValueText(c.type, c.bytes), c.value);
    }
    // The types the lists always showed keep their texts.
    EXPECT_EQ(TypeText(REG_SZ), "REG_SZ");
    EXPECT_EQ(TypeText(REG_EXPAND_SZ), "REG_EXPAND_SZ");
    EXPECT_EQ(TypeText(REG_MULTI_SZ), "REG_MULTI_SZ");
}
