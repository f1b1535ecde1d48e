#include "registry/win32/ValueTable.h"
#include "registry/win32/WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace quarnel::platform;

namespace {

struct Expected
{
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> utf16Bytes(std::u16string_view text)
{
    return utf16leBytes<std::vector<uint8_t>>(text);
}

void expectSame(const ValueTable &table, const std::vector<Expected> &expected, int step)
{
    ASSERT_EQ(table.size(), expected.size()) << "step " << step;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ValueRef v = table[i];
        EXPECT_EQ(v.name().str(), expected[i].name) << "step " << step << " value " << i;
        EXPECT_EQ(v.type, expected[i].type) << "step " << step << " value " << i;
        EXPECT_EQ(v.dataCopy(), expected[i].data) << "step " << step << " value " << i;
        EXPECT_EQ(v.data().size(), expected[i].data.size());
    }
}

} // namespace

// Random sets and removals against a plain sorted list: names narrow and wide,
// differing only in case; string data narrow, wide and of odd length; binary data;
// values set from names and data that lie in the table itself; growth in place,
// at the end and by a new block, and the room given back after removals.
TEST(ValueTable, AgreesWithASortedListThroughRandomChanges)
{
    const std::u16string names[] = {u"",
                                    u"a",
                                    u"A",
                                    u"b",
                                    u"Value",
                                    u"VALUE",
                                    u"\u00e9t\u00e9",
                                    u"\u00c9T\u00c9",
                                    u"\u0416x",
                                    u"\u0436X",
                                    u"long name of a value, past a block's rounding"};
    const std::u16string texts[] = {u"",          u"x",          u"text",
                                    u"caf\u00e9", u"\u20ac uro", std::u16string(300, u'z')};
    std::mt19937 random(7);
    const auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };

    ValueTable table;
    std::vector<Expected> expected;
    for (int step = 0; step < 4000; ++step) {
        const std::u16string &name = names[pick(std::size(names))];
        const auto at = std::find_if(expected.begin(), expected.end(), [&](const Expected &e) {
            return compareNames(e.name, name) == 0;
        });
        const std::size_t choice = pick(10);
        if (choice < 2) {
            EXPECT_EQ(table.remove(UnitText(name)), at != expected.end()) << "step " << step;
            if (at != expected.end()) expected.erase(at);
        } else if (choice < 3 && !table.empty()) {
            // One value's name and another's data, taken from the table: the change
            // must not read what it overwrites.
            const ValueRef target = table[pick(table.size())], source = table[pick(table.size())];
            const std::u16string targetName = target.name().str();
            const std::vector<uint8_t> sourceData = source.dataCopy();
            const uint32_t type = source.type;
            table.set(target.name(), type, source.data());
            const auto same = std::find_if(expected.begin(), expected.end(),
                                           [&](const Expected &e) { return e.name == targetName; });
            ASSERT_NE(same, expected.end());
            same->type = type;
            same->data = sourceData;
        } else {
            const uint32_t type = choice < 8 ? (choice % 2 ? 1u : 7u) : (choice == 8 ? 3u : 4u);
            std::vector<uint8_t> data = utf16Bytes(texts[pick(std::size(texts))]);
            if (choice == 8 || pick(4) == 0) data.push_back(0xab); // odd length, or binary
            table.set(UnitText(name), type, ValueData(data.data(), data.size(), false));
            if (at != expected.end()) {
                at->type = type; // a value set again keeps its name's first spelling
                at->data = data;
            } else {
                const auto place =
                    std::find_if(expected.begin(), expected.end(),
                                 [&](const Expected &e) { return compareNames(e.name, name) > 0; });
                expected.insert(place, {name, type, data});
            }
        }
        expectSame(table, expected, step);
        if (::testing::Test::HasFailure()) return;
        for (const Expected &e : expected) {
            std::u16string other = e.name;
            for (char16_t &u : other)
                u = u >= u'a' && u <= u'z' ? u - 32 : (u >= u'A' && u <= u'Z' ? u + 32 : u);
            const auto found = table.find(UnitText(other));
            ASSERT_TRUE(found) << "step " << step;
            EXPECT_EQ(found->name().str(), e.name);
        }
    }
}

// A file's values handed over in one block read back as they were given, narrow
// and wide alike.
TEST(ValueTable, BuilderHandsOverWhatItWasGiven)
{
    ValueTable::Builder builder;
    const std::vector<uint8_t> narrowText{'a', 'b', 0};
    const std::vector<uint8_t> wide = utf16Bytes(std::u16string(u"\u0416\0", 2));
    builder.add(UnitText(u""), 1, ValueData(narrowText.data(), narrowText.size(), true));
    EXPECT_TRUE(builder.sortsLast(UnitText(u"b")));
    builder.add(UnitText(u"b"), 1, ValueData(wide.data(), wide.size(), false));
    EXPECT_FALSE(builder.sortsLast(UnitText(u"B")));
    builder.add(UnitText(u"\u0416"), 3, ValueData(wide.data(), 3, false));
    const ValueTable table = builder.take();
    EXPECT_TRUE(builder.empty());
    expectSame(table,
               {{u"", 1, utf16Bytes(std::u16string(u"ab\0", 3))},
                {u"b", 1, wide},
                {u"\u0416", 3, {wide[0], wide[1], wide[2]}}},
               0);
    EXPECT_EQ(table[0].data().units().str(), std::u16string(u"ab\0", 3));
}
