#include "registry/platform/RegText.h"

#include <gtest/gtest.h>

using namespace quarnel::platform;

TEST(RegText, Utf8AndUtf16RoundTrip)
{
    const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"; // café € 😀
    const std::u16string units = utf16FromBytes(text);
    EXPECT_EQ(units, u"caf\u00e9 \u20ac \U0001F600");
    EXPECT_EQ(bytesFromUtf16(units), text);
    EXPECT_EQ(byteLengthOfUtf16(units), text.size());
}

TEST(RegText, InvalidBytesSurviveBothWays)
{
    for (const std::string &bytes :
         {std::string("\xE9t\xE9"), std::string("\xFF\xFE"), std::string("a\xC3"),
          std::string("\xED\xA0\x80\xED\xB0\x80"), std::string("\xED\xA0\x80\x80"),
          std::string("\xF4\x90\x80\x80"), std::string("\xC0\xAF")}) {
        EXPECT_EQ(bytesFromUtf16(utf16FromBytes(bytes)), bytes);
    }
}

TEST(RegText, LoneSurrogatesFromUtf16SurviveBothWays)
{
    for (const std::u16string &units :
         {std::u16string(u"a\xD800"), std::u16string(u"\xDC00z"), std::u16string(u"\xDBFF\xDBFF"),
          std::u16string(u"\xDC7F")}) {
        EXPECT_EQ(utf16FromBytes(bytesFromUtf16(units)), units);
    }
}

TEST(RegText, NamesCompareCaseInsensitivelyByLowerCase)
{
    EXPECT_EQ(compareNames(u"Alpha", u"aLPHA"), 0);
    EXPECT_TRUE(sameName(u"\u00c9t\u00e9", u"\u00e9T\u00c9"));
    // Folding to lower case puts '_' and '[' before letters.
    EXPECT_LT(compareNames(u"_u", u"A"), 0);
    EXPECT_LT(compareNames(u"[", u"a"), 0);
    EXPECT_LT(compareNames(u"10", u"9"), 0);
    EXPECT_LT(compareNames(u"a", u"a b"), 0);
    EXPECT_LT(compareNames(u"~", u"\u00e9"), 0);
}
