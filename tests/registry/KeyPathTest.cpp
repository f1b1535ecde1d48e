#include "registry/KeyPath.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using Names = std::vector<std::string_view>;

// Result rows, tree paths and typed paths all come with stray backslashes; none
// of them may turn into a key with an empty name.
TEST(KeyNames, EmptyNamesFallAwayWhereverTheyStand)
{
    EXPECT_EQ(KeyNames("Software\\Wine\\"), (Names{"Software", "Wine"}));
    EXPECT_EQ(KeyNames("\\\\Software\\\\\\Wine"), (Names{"Software", "Wine"}));
    EXPECT_EQ(KeyNames("Wine"), (Names{"Wine"}));
    EXPECT_TRUE(KeyNames("").empty());
    EXPECT_TRUE(KeyNames("\\\\").empty());
    // Names keep their bytes and their case.
    EXPECT_EQ(KeyNames("a b\\\xC3\xA4\\X"), (Names{"a b", "\xC3\xA4", "X"}));
}
