// ASCII-only case folding for RE2 patterns. RE2's own case-insensitive mode folds
// beyond ASCII ('k' finds the Kelvin sign, 'ä' finds 'Ä'), and in Latin-1 mode it
// would fold the lead bytes of UTF-8 sequences onto each other; the search folds
// A..Z alone. So the pattern is rewritten instead and compiled case-sensitive:
// every ASCII letter it matches literally (also through \x41, \101 or \Q...\E)
// becomes a class of both cases, and every character class gains the other case of
// the ASCII letters it holds ([A-F] -> [A-Fa-f], [^a] -> [^aA], [[:upper:]] also
// [:lower:]). Group names, flags and escapes such as \d or \pL stay as written;
// capture groups keep their numbers. RE2 turns a class of one letter's two cases
// back into a case-folded literal, so literal prefixes still speed the scan.
#pragma once

#include <string>
#include <string_view>

// `pattern` must be one RE2 accepts (compiled first, for its error message).
std::string foldAsciiCaseInPattern(std::string_view pattern);

// The text a pattern stands for when it has no operator at all (letters, digits,
// other characters, and punctuation escaped with a backslash): "steam_api\.dll"
// is the literal "steam_api.dll". False for any other pattern.
bool patternLiteral(std::string_view pattern, std::string &literal);
