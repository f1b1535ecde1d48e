#include "registry/win32/RegText.h"

#include "registry/win32/AsciiText.h"
#include "registry/win32/WideText.h"

#include <gtest/gtest.h>

#include <span>
#include <vector>

using namespace quarnel::platform;

TEST(RegText, Utf8AndUtf16RoundTrip)
{
    const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"; // café € 😀
    const std::u16string units = utf16FromBytes(text);
    EXPECT_EQ(units, u"caf\u00e9 \u20ac \U0001F600");
    EXPECT_EQ(bytesFromUtf16(units), text);
    EXPECT_EQ(byteLengthOfUtf16(units), text.size());
    // ASCII is skipped in blocks: a non-ASCII unit counts wherever it falls in one.
    for (std::size_t at = 0; at < 9; ++at) {
        std::u16string mixed(9, u'a');
        mixed[at] = u'\u00e9';
        EXPECT_EQ(byteLengthOfUtf16(mixed), 10u) << at;
        EXPECT_EQ(utf16FromBytes(bytesFromUtf16(mixed)), mixed) << at;
        std::string bytes(17, 'b');
        bytes[at * 2] = '\xE9'; // invalid alone, kept as it came
        EXPECT_EQ(bytesFromUtf16(utf16FromBytes(bytes)), bytes) << at;
    }
}

// UTF-16LE as stored: the low byte first, units beyond 0xFF and an odd last byte.
TEST(RegText, Utf16leBytesPackAndUnpack)
{
    const std::u16string units = u"A\u00e9\u4100\xd800";
    const std::string bytes("A\0\xe9\0\0\x41\0\xd8", 8);
    EXPECT_EQ(utf16leBytes(units), bytes);
    EXPECT_EQ(utf16leBytes<std::vector<uint8_t>>(units),
              std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(utf16leUnits(bytes), units);
    EXPECT_EQ(utf16leUnits(bytes + 'x'), units); // half a unit is none
    std::string appended = "\xFF\xFE";
    appendUtf16le(appended, u"W");
    EXPECT_EQ(appended, std::string("\xFF\xFEW\0", 4));
}

// Only A..Z fold; blanks and line breaks are cut as typed text has them.
TEST(RegText, AsciiRulesTouchNoOtherByte)
{
    EXPECT_TRUE(sameAsciiLetters("HKCU\\Software", "hkcu\\SOFTWARE"));
    EXPECT_FALSE(sameAsciiLetters("\xC3\x84", "\xC3\xA4")); // Ä is not ä
    EXPECT_FALSE(sameAsciiLetters("@", "`"));               // 0x40 and 0x60 differ by the case bit
    EXPECT_EQ(asciiLower(u'\u0141'), u'\u0141');            // Ł's low byte is 'A'
    EXPECT_EQ(asciiUpper('z'), 'Z');
    EXPECT_EQ(hexDigit('f') + hexDigit('F') + hexDigit(u'9'), 39);
    EXPECT_EQ(hexDigit('g'), -1);
    EXPECT_EQ(trimmed(" \tx y\t "), "x y");
    EXPECT_EQ(trimmed(std::string_view(" x\n")), "x\n"); // a word's blanks only
    EXPECT_EQ(trimmedSpace("\r\n x \v\f"), "x");
    EXPECT_EQ(trimmed(std::u16string_view(u"\t=\t")), u"=");
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

// Text kept one byte a unit converts, measures and compares as its UTF-16 form
// does, Latin-1 letters (two bytes in UTF-8) and case folding included.
TEST(RegText, NarrowTextActsAsItsWideForm)
{
    const std::u16string texts[] = {u"",
                                    u"plain ASCII text of some length",
                                    u"caf\u00e9 \u00ff\u0080",
                                    u"\u00c9T\u00c9",
                                    u"\u00e9t\u00e9",
                                    u"\u00dfa",
                                    u"eight by\u00e9eight by\u00e9"};
    for (const std::u16string &a : texts) {
        ASSERT_TRUE(fitsNarrow(a));
        std::vector<uint8_t> bytes(a.begin(), a.end());
        const UnitText narrow(bytes.data(), bytes.size());
        EXPECT_EQ(narrow.str(), a);
        EXPECT_EQ(byteLengthOfUtf16(narrow), byteLengthOfUtf16(std::u16string_view(a)));
        EXPECT_EQ(bytesFromUtf16(narrow), bytesFromUtf16(std::u16string_view(a)));
        std::string written(2 * a.size(), '\0');
        written.resize(writeBytesOfNarrowText(narrow, written.data()));
        EXPECT_EQ(written, bytesFromUtf16(std::u16string_view(a)));
        for (const std::u16string &b : texts) {
            std::vector<uint8_t> other(b.begin(), b.end());
            const int wide = compareNames(a, b);
            EXPECT_EQ(compareNames(narrow, b), wide);
            EXPECT_EQ(compareNames(narrow, UnitText(other.data(), other.size())), wide);
            EXPECT_EQ(compareNames(UnitText(std::u16string_view(a)),
                                   UnitText(other.data(), other.size())),
                      wide);
            EXPECT_EQ(sameUnits(narrow, std::u16string_view(b)), a == b);
        }
    }
    EXPECT_FALSE(fitsNarrow(u"\u0100"));
    const uint8_t oddLength[] = {'a', 0, 'b'};
    EXPECT_FALSE(fitsNarrow(std::span<const uint8_t>(oddLength)));
}
