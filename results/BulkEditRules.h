// The texts and rules of deleting and replacing what result rows stand for,
// free of Qt and of the registry so that they can be tested alone.
#pragma once

#include "search/ResultRow.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A row's key as the messages write it: Root, "\", Branch.
std::string rowKeyText(const ResultRow &row);
// A row's value as the messages write it: Root, "\", Branch, Name (the Branch
// already ends with "\").
std::string rowValueText(const ResultRow &row);
// Root and Branch as one text, to remember keys by their exact cells.
std::string rowKeyId(const ResultRow &row);
// Root, Branch and Name as one text, to remember values by their exact cells.
std::string rowValueId(const ResultRow &row);

// The replace's first question: three lines, the texts as typed in quotes.
std::string replaceQuestion(std::string_view searchTyped, std::string_view replacementTyped);

class Matcher;

// Replaces the first hit in the text before the data's first NUL, which is all
// that a search shows of string data; the NUL and every byte after it stay as
// they are. Returns false, leaving data alone, when there is no hit.
bool replaceInStringData(std::string &data, std::string_view loweredSearch,
                         std::string_view replacement);
// The same for what `matcher` matches (its case, whole text and pattern; with a
// pattern \1 in the replacement stands for its first group).
bool replaceInStringData(std::string &data, const Matcher &matcher, std::string_view replacement);

// Where the own name of a Branch lies: the last key name, before the trailing "\".
struct NameSpan
{
    std::size_t start = 0;
    std::size_t length = 0;
};
NameSpan ownNameSpan(std::string_view branch);

// Replaces the first hit in the own name of branch, keeping the part before it and
// the trailing "\". Returns false, leaving branch alone, when the own name has no
// hit (the root key's empty Branch never has one).
bool replaceInOwnName(std::string &branch, std::string_view loweredSearch,
                      std::string_view replacement);
bool replaceInOwnName(std::string &branch, const Matcher &matcher, std::string_view replacement);

// What a replace does to one row, decided from its cells alone. The undo record is
// made from the same plan as the replace, so it covers whatever the replace changes.
struct ReplacePlan
{
    // A data row: its value's string data is rewritten when its current bytes hold a hit.
    bool rewritesData = false;
    // The value's new name. The default value is never renamed.
    std::optional<std::string> newValueName;
    // The own name of the row's key holds a hit...
    bool keyNameHit = false;
    // ...and the key moves to this Branch. Unset despite a hit when nothing would be
    // left of the own name: the new path would name the parent key, so the row is refused.
    std::optional<std::string> newBranch;
    // Why nothing of the row is replaced ("" when it may be): a number or binary row
    // holds no text (replaceRefusal), or the replace's checks refuse one of its
    // changes (previewBulkReplace sets those), so none of them is made.
    std::string refusal;
};
ReplacePlan planReplace(const ResultRow &row, std::string_view loweredSearch,
                        std::string_view replacement);
// The replace of a search run with options: only the places the matcher looks at
// (keys' own names, value names, data) are rewritten, each where it matches.
ReplacePlan planReplace(const ResultRow &row, const Matcher &matcher, std::string_view replacement);

// The order in which a replace moves the rows' keys, as indexes into `rows`: the
// rows of one root together, roots in the order they first come, and within a
// root deeper keys first, in list order among equals. A key is then renamed
// before a key above it moves it away, so every key is where its row says.
std::vector<std::size_t> keyMoveOrder(const std::vector<ResultRow> &rows);
