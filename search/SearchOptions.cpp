#include "search/SearchOptions.h"

#include "registry/win32/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <limits>

namespace {

// Reads exactly `width` decimal digits at `at`; advances `at`.
bool digits(std::string_view text, std::size_t &at, std::size_t width, int &value)
{
    if (at + width > text.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    at += width;
    return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int year, unsigned month, unsigned day)
{
    const std::chrono::sys_days days{std::chrono::year{year} / std::chrono::month{month} /
                                     std::chrono::day{day}};
    return days.time_since_epoch().count();
}

std::string notATime(std::string_view text)
{
    return "\"" + std::string(text) +
           "\" is not a time: use a date like 2026-12-01, a time like 2026-12-01T14:30, "
           "or a span back from now like 3d or 12h";
}

} // namespace

const std::vector<SearchOptionRow> &searchOptionRows()
{
    using Kind = SearchOptionRow::Kind;
    static const std::vector<SearchOptionRow> rows{
        {Kind::Flag, "matchCase", "Match case", "ckbMatchCase", "", "--match-case",
         "letters must match in case (default: A-Z either case)\n", 0, &SearchOptions::matchCase},
        {Kind::Flag, "wholeText", "Whole text", "ckbWholeText", "", "--whole",
         "a key's own name, value name or string (one entry of\n"
         "a multi-string) must equal TEXT as a whole\n",
         0, &SearchOptions::wholeText},
        {Kind::Flag, "pattern", "Regular expression", "ckbRegex",
         "The text is a pattern in RE2's syntax", "--regex",
         "TEXT is a regular expression (RE2 syntax)\n", 0, &SearchOptions::pattern},
        {Kind::Place, "keys", "Keys", "ckbKeys", "", "keys",
         "where to look: keys,names,data (default: all three)\n", 1, &SearchOptions::keys},
        {Kind::Place, "names", "Value names", "ckbNames", "", "names", "", 1,
         &SearchOptions::names},
        {Kind::Place, "data", "Data", "ckbData", "", "data", "", 1, &SearchOptions::data},
        {Kind::Flag, "numbers", "Numbers", "ckbNumbers",
         "REG_DWORD and REG_QWORD equal to the text as a number (1920 or 0x780)", "--numbers",
         "REG_DWORD and REG_QWORD data equal to TEXT read as\n"
         "a number (1920 or 0x780)\n",
         2, &SearchOptions::numbers},
        {Kind::Flag, "binary", "Binary", "ckbBinary",
         "Binary data holding the text (as 8-bit or UTF-16 text), or hexadecimal bytes "
         "(DE AD BE EF)",
         "--binary",
         "binary and other non-text data holding TEXT as 8-bit\n"
         "or UTF-16 text, or the bytes hex pairs write (DE AD)\n",
         2, &SearchOptions::binary},
        {Kind::Time, "changedSince", "Changed since", "edChangedSince", "", "--changed-since",
         "only keys last written at or after DATE: 2026-12-01,\n"
         "2026-12-01T14:30 (local time; Z for UTC), or 3d, 12h\n"
         "back from now\n",
         3, nullptr, &SearchOptions::changedSince},
        {Kind::Time, "changedBefore", "Changed before", "edChangedBefore", "", "--changed-before",
         "only keys last written before DATE\n", 3, nullptr, &SearchOptions::changedBefore},
    };
    return rows;
}

const SearchOptionRow *searchOptionOfWord(std::string_view word)
{
    for (const SearchOptionRow &row : searchOptionRows())
        if (row.kind != SearchOptionRow::Kind::Place && word == row.word) return &row;
    return nullptr;
}

bool readOptionText(const SearchOptionRow &row, std::string_view text, std::uint64_t now,
                    SearchOptions &options, std::string &error)
{
    if (!row.time) return false;
    options.*row.time = std::nullopt;
    if (trimmed(text).empty()) return true;
    options.*row.time = parseChangedTime(text, now, error);
    return (options.*row.time).has_value();
}

bool parsePlaces(std::string_view list, SearchOptions &options, std::string &error)
{
    std::vector<const SearchOptionRow *> places, named;
    for (const SearchOptionRow &row : searchOptionRows())
        if (row.kind == SearchOptionRow::Kind::Place) places.push_back(&row);
    if (trimmed(list).empty()) {
        error = "No place to look in: name keys, names or data, separated by commas";
        return false;
    }
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view word = trimmed(list.substr(start, end - start));
        const auto place = std::find_if(places.begin(), places.end(), [&](const auto *row) {
            return sameAsciiLetters(word, row->word);
        });
        if (place == places.end()) {
            error = word.empty() ? "An empty place in \"" + std::string(list) +
                                       "\": use keys, names and data, separated by commas"
                                 : "Unknown place \"" + std::string(word) +
                                       "\": use keys, names and data, separated by commas";
            return false;
        }
        if (std::find(named.begin(), named.end(), *place) != named.end()) {
            error = "\"" + std::string(word) + "\" is named twice in \"" + std::string(list) + "\"";
            return false;
        }
        named.push_back(*place);
        start = end + 1;
    }
    for (const SearchOptionRow *place : places)
        options.*place->flag = std::find(named.begin(), named.end(), place) != named.end();
    return true;
}

std::string placesText(const SearchOptions &options)
{
    std::string text;
    for (const SearchOptionRow &row : searchOptionRows()) {
        if (row.kind != SearchOptionRow::Kind::Place || !(options.*row.flag)) continue;
        if (!text.empty()) text += ',';
        text += row.word;
    }
    return text;
}

std::optional<std::uint64_t> parseChangedTime(std::string_view text, std::uint64_t now,
                                              std::string &error)
{
    const std::string_view given = text;
    text = trimmed(text);

    // A span back from now: digits and a unit.
    if (text.size() >= 2 && (asciiLower(text.back()) == 'd' || asciiLower(text.back()) == 'h')) {
        std::uint64_t count = 0;
        const char *first = text.data();
        const char *last = text.data() + text.size() - 1;
        const auto [end, ec] = std::from_chars(first, last, count);
        if (ec == std::errc() && end == last) {
            const std::uint64_t unit =
                (asciiLower(text.back()) == 'd' ? 86'400 : 3'600) * kFileTimeStepsPerSecond;
            if (count > now / unit) {
                error = "\"" + std::string(given) + "\" reaches back before the year 1601";
                return std::nullopt;
            }
            return now - count * unit;
        }
    }

    // YYYY-MM-DD[(T| )HH:MM[:SS]][Z|(+|-)HH[:MM]]
    std::size_t at = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const auto fail = [&] {
        error = notATime(given);
        return std::nullopt;
    };
    if (!digits(text, at, 4, year) || at >= text.size() || text[at++] != '-' ||
        !digits(text, at, 2, month) || at >= text.size() || text[at++] != '-' ||
        !digits(text, at, 2, day))
        return fail();
    if (at < text.size() && (text[at] == 'T' || text[at] == 't' || text[at] == ' ')) {
        ++at;
        if (!digits(text, at, 2, hour) || at >= text.size() || text[at++] != ':' ||
            !digits(text, at, 2, minute))
            return fail();
        if (at < text.size() && text[at] == ':') {
            ++at;
            if (!digits(text, at, 2, second)) return fail();
        }
    }
    std::optional<int> offsetMinutes; // unset: local time
    if (at < text.size()) {
        const char sign = text[at++];
        if (sign == 'Z' || sign == 'z') {
            offsetMinutes = 0;
        } else if (sign == '+' || sign == '-') {
            int hours = 0, minutes = 0;
            if (!digits(text, at, 2, hours)) return fail();
            if (at < text.size() && text[at] == ':') ++at;
            if (at < text.size() && !digits(text, at, 2, minutes)) return fail();
            if (hours > 23 || minutes > 59) return fail();
            offsetMinutes = (sign == '-' ? -1 : 1) * (hours * 60 + minutes);
        } else {
            return fail();
        }
        if (at != text.size()) return fail();
    }
    if (year < 1601 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59)
        return fail();
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{unsigned(month)},
                                           std::chrono::day{unsigned(day)}};
    if (!date.ok()) return fail();

    std::int64_t seconds = 0;
    if (offsetMinutes) {
        seconds = daysFromCivil(year, unsigned(month), unsigned(day)) * 86'400 + hour * 3'600 +
                  minute * 60 + second - std::int64_t(*offsetMinutes) * 60;
    } else {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1; // whichever is in force on that day
        const std::time_t t = std::mktime(&local);
        if (t == std::time_t(-1) && year > 1970) return fail();
        seconds = std::int64_t(t);
    }
    return fileTimeFromUnixSeconds(seconds);
}

std::optional<SearchNumber> parseSearchNumber(std::string_view text)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;

    SearchNumber number;
    if (!negative) {
        number.qword = magnitude;
        if (magnitude <= std::numeric_limits<std::uint32_t>::max())
            number.dword = std::uint32_t(magnitude);
        return number;
    }
    // Two's complement of the magnitude, where the negative number fits the width.
    if (magnitude <= std::uint64_t(1) << 63) number.qword = std::uint64_t(0) - magnitude;
    if (magnitude <= std::uint64_t(1) << 31)
        number.dword = std::uint32_t(0) - std::uint32_t(magnitude);
    if (!number.qword) return std::nullopt;
    return number;
}

std::optional<std::string> parseHexBytes(std::string_view text)
{
    std::string bytes;
    int high = -1; // the first digit of a pair, while the second is awaited
    for (const char c : trimmed(text)) {
        if (c == ' ' || c == ',' || c == '\t') {
            if (high >= 0) return std::nullopt; // a lone digit between separators
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty()) return std::nullopt;
    return bytes;
}
