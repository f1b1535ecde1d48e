// REG_MULTI_SZ data as the replace rewrites it. The display splitter also cuts at
// CR and LF and stops at the first empty entry, which is fine for showing a value
// but would lose bytes if its pieces were written back. Here the data is cut at
// NUL only, so joining the pieces with NUL gives back exactly the bytes read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The pieces between NUL bytes: well-formed data "a\0b\0\0" gives a, b, "", "".
std::vector<std::string> splitAtNul(std::string_view data);
// The inverse of splitAtNul, byte for byte.
std::string joinWithNul(const std::vector<std::string> &pieces);

// Replaces the first hit in every entry that a reader of the value sees, that is
// every entry before the first empty one; an entry holding CR or LF is one entry.
// Entries after an inner empty entry, and bytes after the closing NUL, are kept
// unchanged. Returns false, leaving data alone, when no entry changed.
bool replaceInMultiString(std::string &data, std::string_view loweredSearch,
                          std::string_view replacement);
// The same for what `matcher` matches in each entry.
class Matcher;
bool replaceInMultiString(std::string &data, const Matcher &matcher, std::string_view replacement);
