#include "registry/text/ListOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// Reference: fold a..z up, then compare as unsigned bytes.
int referenceCompare(std::string a, std::string b)
{
    for (std::string *s : {&a, &b})
        for (char &c : *s)
            if (c >= 'a' && c <= 'z') c = char(c - 32);
    return sign(a.compare(b));
}

} // namespace

TEST(ListOrder, FoldsOnlyAsciiLetters)
{
    EXPECT_EQ(compareListText("abc", "ABC"), 0);
    EXPECT_EQ(compareListText("aBc", "AbC"), 0);
    EXPECT_LT(compareListText("a", "_"), 0); // A (0x41) is below _ (0x5F)
    EXPECT_LT(compareListText("Z", "["), 0);
    EXPECT_LT(compareListText("z", "["), 0);
    EXPECT_NE(compareListText("\xC3\xA4", "\xC3\x84"), 0); // ä and Ä differ
    EXPECT_GT(compareListText("\xC3\xA4", "\xC3\x84"), 0);
    EXPECT_GT(compareListText("\x80", "z"), 0); // bytes are unsigned
}

TEST(ListOrder, ShorterPrefixComesFirst)
{
    EXPECT_LT(compareListText("Software\\", "Software\\Classes\\"), 0);
    EXPECT_GT(compareListText("software\\classes\\", "SOFTWARE\\"), 0);
    EXPECT_LT(compareListText("", "a"), 0);
    EXPECT_EQ(compareListText("", ""), 0);
}

TEST(ListOrder, TypeColumnOrder)
{
    std::vector<std::string> types = {"REG_SZ", "", "REG_MULTI_SZ", "REG_EXPAND_SZ", ""};
    std::stable_sort(types.begin(), types.end(),
                     [](const std::string &a, const std::string &b) { return listTextLess(a, b); });
    EXPECT_EQ(types, (std::vector<std::string>{"", "", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_SZ"}));
}

TEST(ListOrder, AgreesWithReferenceOnRandomBytes)
{
    std::mt19937 random(7);
    const std::string alphabet = std::string("aAzZ_[`{\\ \x80\xC3\xA4\x84", 14) + '\0';
    auto make = [&](std::size_t most) {
        std::string s(random() % (most + 1), ' ');
        for (char &c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        // Half of the pairs begin alike for up to 20 bytes, as key paths do.
        const std::string common = i % 2 ? make(20) : std::string();
        const std::string a = common.substr(0, random() % (common.size() + 1)) + make(4);
        const std::string b = common + make(4);
        ASSERT_EQ(sign(compareListText(a, b)), referenceCompare(a, b)) << a << " | " << b;
    }
}
