#include "search/SearchOptions.h"
#include "search/SearchCheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <set>
#include <vector>

namespace {

// 1970-01-01T00:00:00Z as FILETIME.
constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000;
constexpr std::uint64_t kSecond = 10'000'000;

} // namespace

TEST(SearchOptions, PlacesListReadsAndWritesBack)
{
    const struct
    {
        std::string_view list;
        std::string_view places; // as placesText writes them; empty: refused
    } cases[] = {
        {"keys,names,data", "keys,names,data"},
        {"data,keys", "keys,data"},
        {" Names , DATA ", "names,data"},
        {"names", "names"},
        {"keys,keys", ""},
        {"values", ""},
        {"keys,", ""},
        {"", ""},
        {"keys;names", ""},
    };
    for (const auto &c : cases) {
        SearchOptions options;
        options.keys = options.names = options.data = true;
        std::string error;
        const bool read = parsePlaces(c.list, options, error);
        EXPECT_EQ(read, !c.places.empty()) << c.list;
        if (read) {
            EXPECT_EQ(placesText(options), c.places);
        } else {
            EXPECT_NE(error, "") << c.list;
            EXPECT_EQ(placesText(options), "keys,names,data") << "left alone";
        }
    }
}

// The first refusal wins: the options' texts, then what they can find, then the
// text, the pattern and the replacement.
TEST(SearchOptions, ACheckRefusesTheFirstFaultInItsOrder)
{
    using Kind = SearchRefusal::Kind;
    const SearchOptionRow &since = *searchOptionOfWord("--changed-since");
    const SearchOptionRow &before = *searchOptionOfWord("--changed-before");
    SearchOptions nowhere;
    nowhere.keys = nowhere.names = nowhere.data = false;
    SearchOptions regex;
    regex.pattern = true;
    using Texts = std::vector<std::pair<const SearchOptionRow *, std::string>>;
    const auto ask = [](std::string text, SearchOptions options = {}, Texts texts = {},
                        bool required = true, std::optional<std::string> replacement = {}) {
        SearchRequest request;
        request.text = std::move(text);
        request.options = options;
        request.optionTexts = std::move(texts);
        request.textRequired = required;
        request.replacement = std::move(replacement);
        return request;
    };
    const struct
    {
        SearchRequest request;
        Kind refused;
        const SearchOptionRow *option = nullptr;
    } cases[] = {
        {ask("x"), Kind::None},
        {ask("", {}, {}, false), Kind::None}, // the window walks and counts
        {ask(""), Kind::EmptyText},
        {ask("x", {}, {{&since, "yesterday"}}), Kind::OptionText, &since},
        {ask("x", {}, {{&since, " "}, {&before, "2020-13-01"}}), Kind::OptionText, &before},
        {ask("(", nowhere, {{&since, "yesterday"}}), Kind::OptionText, &since},
        {ask("(", nowhere), Kind::NothingToLookIn},
        {ask("x", {}, {{&since, "2026-12-02"}, {&before, "2026-12-01"}}), Kind::NoTimeBetween},
        {ask("x", {}, {{&since, "2026-12-01"}, {&before, "2026-12-01T00:00:01"}}), Kind::None},
        {ask("", regex), Kind::EmptyText},
        {ask("a(", regex, {}, true, "\\9"), Kind::Pattern},
        {ask("a(b)", regex, {}, true, "\\2"), Kind::Replacement},
        {ask("a(b)", regex, {}, true, "\\1"), Kind::None},
        {ask("a(", {}, {}, true, "\\2"), Kind::None}, // no pattern: taken as it is
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request.text);
        const CheckedSearch checked = checkSearch(c.request);
        EXPECT_EQ(checked.refusal.kind, c.refused);
        EXPECT_EQ(checked.refusal.option, c.option);
        EXPECT_EQ(checked.matcher != nullptr, c.refused == Kind::None);
        if (c.refused == Kind::OptionText || c.refused == Kind::Pattern ||
            c.refused == Kind::Replacement) {
            EXPECT_NE(checked.refusal.detail, "");
        }
    }
}

// Each option has one word, one settings key and one control, and reads as its kind.
TEST(SearchOptions, EachOptionIsOneRowOfTheTable)
{
    std::set<std::string> words, keys, controls;
    for (const SearchOptionRow &row : searchOptionRows()) {
        SCOPED_TRACE(row.key);
        EXPECT_TRUE(words.insert(row.word).second);
        EXPECT_TRUE(keys.insert(row.key).second);
        EXPECT_TRUE(controls.insert(row.objectName).second);
        EXPECT_EQ(row.time != nullptr, row.kind == SearchOptionRow::Kind::Time);
        EXPECT_EQ(row.flag != nullptr, row.kind != SearchOptionRow::Kind::Time);
        EXPECT_EQ(searchOptionOfWord(row.word),
                  row.kind == SearchOptionRow::Kind::Place ? nullptr : &row);
    }
    EXPECT_EQ(searchOptionOfWord(kPlacesWord), nullptr);
}

TEST(SearchOptions, ChangedTimesAsDatesOrSpans)
{
    EXPECT_EQ(fileTimeFromUnixSeconds(0), kUnixEpoch);
    EXPECT_EQ(unixSecondsFromFileTime(kUnixEpoch + 5 * kSecond), 5);
    EXPECT_EQ(fileTimeFromUnixSeconds(-20'000'000'000), 0u);
    const std::uint64_t now = fileTimeNow();
    EXPECT_NEAR(double(unixSecondsFromFileTime(now)), double(std::time(nullptr)), 2.0);

    const std::uint64_t day = 86'400 * kSecond;
    const std::uint64_t then = fileTimeFromUnixSeconds(1'796'693'400); // 2026-12-08T01:30:00Z
    const struct
    {
        std::string_view text;
        std::optional<std::uint64_t> time;
    } cases[] = {
        {"1970-01-01T00:00Z", kUnixEpoch},
        {"1970-01-01Z", kUnixEpoch},
        {"2026-12-08T01:30:00Z", then},
        {"2026-12-08t01:30z", then},
        {" 2026-12-08 02:30+01:00 ", then},
        {"2026-12-08T00:00-0130", then},
        {"2026-12-07T23:30:00-02", then},
        {"2024-02-29Z", fileTimeFromUnixSeconds(1'709'164'800)},
        {"3d", now - 3 * day},
        {"12h", now - 12 * 3'600 * kSecond},
        {"0D", now},
        {"2025-02-29Z", std::nullopt},
        {"2026-13-01", std::nullopt},
        {"2026-12-08T24:00Z", std::nullopt},
        {"2026-12-08T01:60Z", std::nullopt},
        {"2026-12-8", std::nullopt},
        {"2026-12-08T01", std::nullopt},
        {"2026-12-08Zx", std::nullopt},
        {"2026-12-08+25:00", std::nullopt},
        {"1600-12-31Z", std::nullopt},
        {"yesterday", std::nullopt},
        {"3x", std::nullopt},
        {"d", std::nullopt},
        {"-3d", std::nullopt},
        {"999999999999999d", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_EQ(parseChangedTime(c.text, now, error), c.time) << c.text;
        EXPECT_EQ(error.empty(), c.time.has_value()) << c.text;
    }

    // Without a zone the time is local: here one hour east of UTC.
    const char *const oldZone = std::getenv("TZ");
    const std::string kept = oldZone ? oldZone : "";
    setenv("TZ", "XST-1", 1);
    tzset();
    std::string error;
    EXPECT_EQ(parseChangedTime("2026-12-08T02:30", now, error), then) << error;
    EXPECT_EQ(parseChangedTime("2026-12-08", now, error), then - 9'000 * kSecond) << error;
    if (oldZone)
        setenv("TZ", kept.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(SearchOptions, SearchTextAsNumberOrHexBytes)
{
    using N = SearchNumber;
    const struct
    {
        std::string_view text;
        std::optional<SearchNumber> number;
    } numbers[] = {
        {"1920", N{1920u, 1920u}},
        {"0x780", N{1920u, 1920u}},
        {" 0X780 ", N{1920u, 1920u}},
        {"+5", N{5u, 5u}},
        {"0", N{0u, 0u}},
        {"-1", N{0xFFFF'FFFFu, ~std::uint64_t(0)}},
        {"-0x1", N{0xFFFF'FFFFu, ~std::uint64_t(0)}},
        {"4294967295", N{0xFFFF'FFFFu, 0xFFFF'FFFFu}},
        {"4294967296", N{std::nullopt, 0x1'0000'0000u}},
        {"-2147483648", N{0x8000'0000u, 0xFFFF'FFFF'8000'0000u}},
        {"-2147483649", N{std::nullopt, 0xFFFF'FFFF'7FFF'FFFFu}},
        {"18446744073709551615", N{std::nullopt, ~std::uint64_t(0)}},
        {"18446744073709551616", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"0x", std::nullopt},
        {"12ab", std::nullopt},
        {"1e3", std::nullopt},
        {"1 920", std::nullopt},
        {"--1", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &n : numbers)
        EXPECT_EQ(parseSearchNumber(n.text), n.number) << n.text;

    const struct
    {
        std::string_view text;
        std::optional<std::string> bytes;
    } hex[] = {
        {"DE AD BE EF", "\xDE\xAD\xBE\xEF"},
        {"deadbeef", "\xDE\xAD\xBE\xEF"},
        {"de,ad,be,ef", "\xDE\xAD\xBE\xEF"},
        {"DE AD BE EF ", "\xDE\xAD\xBE\xEF"}, // as the value list writes bytes
        {"dead beef", "\xDE\xAD\xBE\xEF"},
        {"00", std::string(1, '\0')},
        {"1920", "\x19\x20"},
        {"d e a d", std::nullopt},
        {"abc", std::nullopt},
        {"0xdead", std::nullopt},
        {"zz", std::nullopt},
        {" ", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &h : hex)
        EXPECT_EQ(parseHexBytes(h.text), h.bytes) << h.text;
}
