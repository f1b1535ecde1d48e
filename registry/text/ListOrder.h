// The text order of the result list and the value list.
#pragma once

#include <string_view>

// Byte-wise, unsigned, after folding only a..z to A..Z. A prefix sorts before the
// longer text; texts that differ only in the case of ASCII letters are equal.
// Negative, zero or positive like strcmp.
int compareListText(std::string_view a, std::string_view b);

inline bool listTextLess(std::string_view a, std::string_view b)
{
    return compareListText(a, b) < 0;
}
