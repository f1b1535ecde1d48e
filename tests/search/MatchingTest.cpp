#include "search/Matching.h"

#include <gtest/gtest.h>

constexpr auto npos = std::string_view::npos;

TEST(Matching, LowerCasesAsciiLettersOnly)
{
    EXPECT_EQ(asciiLower("AbZ@[`{ 09"), "abz@[`{ 09");
    EXPECT_EQ(asciiLower("\xC3\x84"), "\xC3\x84"); // Ä stays Ä: no byte of it is A..Z
    EXPECT_EQ(asciiLower(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(Matching, HitIgnoresAsciiCaseOnly)
{
    EXPECT_TRUE(isHit("abc", "xxABCxx"));
    EXPECT_TRUE(isHit("abc", "aBc"));
    EXPECT_TRUE(isHit("\xC3\xA4", "M\xC3\xA4nner"));        // ä finds ä
    EXPECT_FALSE(isHit("\xC3\xA4", "M\xC3\x84NNER"));       // ... but not Ä
    EXPECT_TRUE(isHit(asciiLower("\xC3\x84"), "\xC3\x84")); // Ä finds Ä
    EXPECT_FALSE(isHit(asciiLower("\xC3\x84"), "\xC3\xA4"));
    EXPECT_FALSE(isHit("@", "`"));
    // Leading signs whose case-bit partner is another sign match only themselves.
    EXPECT_FALSE(isHit("`", "@"));
    EXPECT_FALSE(isHit("{a", "[a"));
    EXPECT_TRUE(isHit("z", "Z"));
}

TEST(Matching, BlanksAndBackslashesAreSignificant)
{
    EXPECT_FALSE(isHit("a b", "ab"));
    EXPECT_FALSE(isHit("ab", "a b"));
    EXPECT_TRUE(isHit("a b", "xA B"));
    EXPECT_TRUE(isHit("run\\", "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\"));
    EXPECT_TRUE(isHit("\\", "\\"));
}

TEST(Matching, EmptyOrLongerSearchNeverMatches)
{
    EXPECT_FALSE(isHit("", ""));
    EXPECT_FALSE(isHit("", "abc"));
    EXPECT_FALSE(isHit("abcd", "abc"));
    EXPECT_FALSE(isHit("a", ""));
}

TEST(Matching, FirstHitFindsFirstFoldedOccurrence)
{
    EXPECT_EQ(firstHit("foo", "xxFOOfoo"), 2u);
    EXPECT_EQ(firstHit("aab", "aaab"), 1u); // a partial match must not skip ahead
    EXPECT_EQ(firstHit("abc", "ab"), npos);
    EXPECT_EQ(firstHit("c", "abc"), 2u);
    EXPECT_EQ(firstHit(std::string_view("b\0c", 3), std::string_view("ab\0C", 4)), 1u);
    // Texts are scanned sixteen places at a time: a hit, a near miss and the
    // case-bit partners of signs at every place of texts around that length.
    const auto plain = [](std::string_view search, std::string_view text) {
        for (std::size_t i = 0; i + search.size() <= text.size(); ++i)
            if (asciiLower(text.substr(i, search.size())) == search) return i;
        return npos;
    };
    using namespace std::string_view_literals;
    for (const std::string_view search : {"fa"sv, "fab"sv, "@["sv, "a`"sv, "x\0"sv})
        for (std::size_t length = 0; length <= 40; ++length)
            for (std::size_t at = 0; at < length; ++at)
                for (const std::string_view put :
                     {"FA"sv, "fA"sv, "Fb"sv, "`{"sv, "@["sv, "A@"sv, "X\0"sv, "x "sv}) {
                    std::string text(length, '.');
                    text.replace(at, std::min<std::size_t>(2, length - at),
                                 put.substr(0, length - at));
                    EXPECT_EQ(firstHit(search, text), plain(search, text))
                        << search << " in " << text;
                }
}

TEST(Matching, ReplacesFirstOccurrenceKeepingTheRest)
{
    std::string text = "Foo Bar foo";
    EXPECT_TRUE(replaceFirstHit(text, asciiLower("FOO"), "x"));
    EXPECT_EQ(text, "x Bar foo");

    text = "\xC3\x84pfelFOO";
    EXPECT_TRUE(replaceFirstHit(text, "foo", "Bar"));
    EXPECT_EQ(text, "\xC3\x84pfelBar");

    text = "afoofoo";
    EXPECT_TRUE(replaceFirstHit(text, "foo", "")); // empty replacement deletes it
    EXPECT_EQ(text, "afoo");
}

TEST(Matching, ReplaceLeavesTextAloneWithoutAHit)
{
    std::string text = "Foo";
    EXPECT_FALSE(replaceFirstHit(text, "", "x"));
    EXPECT_FALSE(replaceFirstHit(text, "bar", "x"));
    EXPECT_FALSE(replaceFirstHit(text, "FOO", "x")); // search text must be lowered
    EXPECT_EQ(text, "Foo");
}
