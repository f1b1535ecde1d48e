// The options of a search (beside "Search for:" in the window, flags on the command
// line) and the readings of their texts: the places list, the changed-since and
// changed-before times, and what the search text reads as for "Numbers" and
// "Binary". The default options are the plain search: ASCII letters folded, the
// text anywhere in key paths, value names and string data. Free of Qt.
#pragma once

#include "registry/win32/FileTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SearchOptions
{
    bool matchCase = false; // "Match case" (--match-case): no folding at all
    bool wholeText = false; // "Whole text" (--whole): the candidate equals the text
    bool pattern = false;   // "Regular expression" (--regex): the text is an RE2 pattern

    // "Keys", "Value names", "Data" (--in keys,names,data). Numbers and binary data
    // are data too: they are looked at only with `data`.
    bool keys = true;
    bool names = true;
    bool data = true;

    bool numbers = false; // "Numbers" (--numbers): REG_DWORD, big-endian DWORD, REG_QWORD
    bool binary = false;  // "Binary" (--binary): every type that is neither text nor number

    // "Changed since" (--changed-since, --changed-before): FILETIME bounds on a key's
    // last write, since inclusive, before exclusive; unset is open.
    std::optional<std::uint64_t> changedSince;
    std::optional<std::uint64_t> changedBefore;

    bool operator==(const SearchOptions &) const = default;
};

// One option as each face offers it. The window's options panel builds its rows
// from these, the command line reads its words and writes its --help from them,
// and the settings file keeps each under its key: a new option is a field above,
// a row in searchOptionRows() and what the Matcher makes of it.
struct SearchOptionRow
{
    enum class Kind
    {
        Flag,  // a check box; a word on its own on the command line
        Place, // a check box; on the command line one of the words of --in
        Time,  // a text field; a word with a DATE on the command line
    };
    Kind kind = Kind::Flag;
    const char *key = "";        // in the settings file's section "search"
    const char *label = "";      // the panel's text and its accessible name
    const char *objectName = ""; // the panel's control
    const char *toolTip = "";    // the panel's, "" for none
    const char *word = "";       // "--match-case", "--changed-since"; a place: its word in --in
    const char *help = "";       // --help's text after the word; lines end in "\n"
    int group = 0;               // the panel draws a line between two groups
    bool SearchOptions::*flag = nullptr;                         // Flag, Place
    std::optional<std::uint64_t> SearchOptions::*time = nullptr; // Time
};
const std::vector<SearchOptionRow> &searchOptionRows();
// The row of a word of the command line ("--whole"), or null.
const SearchOptionRow *searchOptionOfWord(std::string_view word);
// The command line's word for the places; its --help text is the first Place row's.
inline constexpr const char *kPlacesWord = "--in";

// A Time row's text read into `options` (an empty text leaves the bound open);
// false with `error` set when it does not read. `now` for spans back from now.
bool readOptionText(const SearchOptionRow &row, std::string_view text, std::uint64_t now,
                    SearchOptions &options, std::string &error);

// `--in`: a comma-separated list of keys, names and data, each at most once, any
// case, blanks around the words allowed. Sets the three places of `options`;
// false with `error` set (and `options` unchanged) otherwise.
bool parsePlaces(std::string_view list, SearchOptions &options, std::string &error);
// The places as `--in` takes them: "keys,names,data", "names" ...
std::string placesText(const SearchOptions &options);

// `--changed-since` / `--changed-before`: an ISO date or time ("2026-12-01",
// "2026-12-01T14:30", "2026-12-01 14:30:05"; local time, or UTC with a trailing "Z",
// or at an offset like "+01:00") or a span back from `now`: "3d" (days), "12h"
// (hours). Unset with `error` set when the text is none of these.
std::optional<std::uint64_t> parseChangedTime(std::string_view text, std::uint64_t now,
                                              std::string &error);

// The search text read as a number: decimal ("1920", "-1") or hexadecimal ("0x780"),
// blanks around it allowed. Its 32-bit and 64-bit forms, each unset when the number
// does not fit (a negative number stands for its two's complement: -1 is FFFFFFFF).
struct SearchNumber
{
    std::optional<std::uint32_t> dword;
    std::optional<std::uint64_t> qword;
    bool operator==(const SearchNumber &) const = default;
};
std::optional<SearchNumber> parseSearchNumber(std::string_view text);

// The search text read as a run of hexadecimal byte pairs: "DE AD BE EF",
// "deadbeef", "de,ad,be,ef" (blanks and commas between pairs, as the value list
// and registry files write bytes). Unset when it is not one.
std::optional<std::string> parseHexBytes(std::string_view text);
