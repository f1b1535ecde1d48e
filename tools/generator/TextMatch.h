// The search's matching rule as the generator needs it: only the ASCII letters
// A to Z are folded, everything else compares exactly.
#pragma once

#include <string>
#include <string_view>

namespace quarnel::generator {

class Prng;

std::string foldAscii(std::string_view text);

// True when `foldedNeedle` (already folded) occurs in `text` after folding.
bool containsFolded(std::string_view text, std::string_view foldedNeedle);

// The needle with each ASCII letter in a random case, so that a planted text
// is only found by a search that folds case.
std::string mixCase(std::string_view needle, Prng &rng);

} // namespace quarnel::generator
