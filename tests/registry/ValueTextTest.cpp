#include "registry/ValueText.h"
#include "registry/MultiStringSplitter.h"
#include "registry/RootTable.h"

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
    // Number and other rows of a search show what the value list shows.
    EXPECT_EQ(OtherValueText(TValueKind::vkInteger, std::string("\x80\x07\0\0", 4)), "00000780");
    EXPECT_EQ(OtherValueText(TValueKind::vkInteger, "\x80\x07"), "00000780");
    EXPECT_EQ(OtherValueText(TValueKind::vkBinary, "\xDE\xAD"), "DE AD ");
    EXPECT_EQ(OtherValueText(TValueKind::vkDwordBigEndian, "\0\0\x07\x80"), "(not implemented)");
    EXPECT_EQ(OtherValueText(TValueKind::vkUnknown, ""), "(not implemented)");
    EXPECT_EQ(MultiStringText({"one", "two"}), "one two ");
    EXPECT_EQ(MultiStringText(SplitMultiString("a\r\nb\0\0", 6)), "a  b ");
    EXPECT_EQ(MultiStringText({}), "");
    EXPECT_EQ(StringValueText(""), "(Value not set)");
    EXPECT_EQ(StringValueText("x"), "x");
    EXPECT_EQ(TypeText(TValueKind::vkExpandString), "REG_EXPAND_SZ");
    EXPECT_EQ(TypeText(TValueKind::vkDwordBigEndian), "REG_UNKNOWN");
    EXPECT_EQ(ValueImageIndex(TValueKind::vkExpandString), 3);
    EXPECT_EQ(ValueImageIndex(TValueKind::vkInteger), 4);
    EXPECT_EQ(PathDisplayText("HKEY_LOCAL_MACHINE", "\\SOFTWARE\\Classes"),
              "My Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    EXPECT_EQ(PathDisplayText("HKEY_USERS", ""), "My Computer\\HKEY_USERS");
}
