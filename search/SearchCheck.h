// Whether a search (or a replace) can run, checked the same way for the window's
// search, its replace, "Find in all registries" and the command line's search,
// delete and replace: the options (their texts read, then whether they can find
// anything), the text, the pattern, the replacement. The first refusal comes back
// as facts; each face says it in its own words. Free of Qt.
#pragma once

#include "search/SearchOptions.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Matcher;

struct SearchRefusal
{
    enum class Kind
    {
        None,
        OptionText,      // `option`'s text does not read; `detail` says why
        NothingToLookIn, // neither keys nor value names nor data
        NoTimeBetween,   // "changed since" is not before "changed before"
        EmptyText,       // no text where one is required
        Pattern,         // the pattern does not compile; `detail` is RE2's message
        Replacement,     // the replacement does not suit the pattern; `detail` says why
    };
    Kind kind = Kind::None;
    const SearchOptionRow *option = nullptr;
    std::string detail;

    explicit operator bool() const { return kind != Kind::None; }
};

struct SearchRequest
{
    std::string text;
    SearchOptions options; // the flags, and the times read already
    // Option texts still to read (the window's fields), in the order they are checked.
    std::vector<std::pair<const SearchOptionRow *, std::string>> optionTexts;
    // A command has nothing to do without a text; the window walks and counts.
    bool textRequired = false;
    std::optional<std::string> replacement;
};

struct CheckedSearch
{
    SearchRefusal refusal;
    SearchOptions options;                  // with the texts read
    std::shared_ptr<const Matcher> matcher; // unless refused
};

CheckedSearch checkSearch(const SearchRequest &request, std::uint64_t now = fileTimeNow());

// Options that cannot find anything (NothingToLookIn, NoTimeBetween) read the same
// in both faces: what to change is the same option either way.
std::string optionsRefusalText(SearchRefusal::Kind kind);
