// The text matching of a search run and of the replace: only the ASCII letters
// A..Z are folded, every other byte (accented letters included) compares exactly.
#pragma once

#include "registry/win32/AsciiText.h"

#include <cstddef>
#include <string>
#include <string_view>

// Position of the first occurrence of loweredSearch in the lower-cased candidate,
// or std::string_view::npos. An empty search text never occurs.
std::size_t firstHit(std::string_view loweredSearch, std::string_view candidate);

// The same without folding: every byte matches only itself ("Match case").
std::size_t firstExactHit(std::string_view search, std::string_view candidate);

// True when loweredSearch occurs in the lower-cased candidate.
inline bool isHit(std::string_view loweredSearch, std::string_view candidate)
{
    return firstHit(loweredSearch, candidate) != std::string_view::npos;
}

// Replaces the first folded occurrence of loweredSearch in text by replacement,
// keeping everything else as it was. Returns false, leaving text alone, when
// there is no occurrence.
bool replaceFirstHit(std::string &text, std::string_view loweredSearch,
                     std::string_view replacement);
