#include "tools/generator/TextMatch.h"

#include "tools/generator/Prng.h"

namespace quarnel::generator {

namespace {

char foldChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

std::string foldAscii(std::string_view text)
{
    std::string folded(text);
    for (char &c : folded)
        c = foldChar(c);
    return folded;
}

bool containsFolded(std::string_view text, std::string_view foldedNeedle)
{
    if (foldedNeedle.empty() || text.size() < foldedNeedle.size()) return false;
    const char first = foldedNeedle.front();
    const std::size_t last = text.size() - foldedNeedle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (foldChar(text[i]) != first) continue;
        std::size_t j = 1;
        while (j < foldedNeedle.size() && foldChar(text[i + j]) == foldedNeedle[j])
            ++j;
        if (j == foldedNeedle.size()) return true;
    }
    return false;
}

std::string mixCase(std::string_view needle, Prng &rng)
{
    std::string mixed(needle);
    for (char &c : mixed) {
        const char lower = foldChar(c);
        if (lower >= 'a' && lower <= 'z')
            c = rng.chance(0.5) ? static_cast<char>(lower - ('a' - 'A')) : lower;
    }
    return mixed;
}

} // namespace quarnel::generator
