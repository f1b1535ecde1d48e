#include "search/PatternFolding.h"

#include <algorithm>

// The pattern was accepted by RE2, so only RE2's own syntax has to be followed here:
// every construct is read as far as RE2 reads it, and what cannot occur in an
// accepted pattern is not looked for.

namespace {

bool isAsciiLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

// An ASCII letter as the class of its two cases: 'k' -> "[kK]".
std::string bothCases(char32_t letter)
{
    const char lower = static_cast<char>(letter | 0x20);
    const char upper = static_cast<char>(lower - ('a' - 'A'));
    return std::string{'[', lower, upper, ']'};
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One UTF-8 character at `at` (the pattern is valid UTF-8); advances `at`.
char32_t decodeAt(std::string_view p, std::size_t &at)
{
    const auto b = static_cast<unsigned char>(p[at]);
    if (b < 0x80) {
        ++at;
        return b;
    }
    const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    char32_t c = b & (0x7F >> length);
    for (std::size_t k = 1; k < length && at + k < p.size(); ++k)
        c = c << 6 | (static_cast<unsigned char>(p[at + k]) & 0x3F);
    at += length;
    return c;
}

// A backslash escape at `at`: how many bytes it takes and, when it stands for one
// character (\x41, \x{41}, \101, \n, \.), that character.
struct Escape
{
    std::size_t length = 1;
    bool isCharacter = false;
    char32_t character = 0;
};

Escape readEscape(std::string_view p, std::size_t at)
{
    Escape e;
    if (at + 1 >= p.size()) return e;
    const char d = p[at + 1];
    const auto character = [&](std::size_t length, char32_t c) {
        e.length = length;
        e.isCharacter = true;
        e.character = c;
        return e;
    };
    switch (d) {
    case 'x': {
        char32_t c = 0;
        if (at + 2 < p.size() && p[at + 2] == '{') {
            const std::size_t close = std::min(p.find('}', at + 3), p.size());
            for (std::size_t k = at + 3; k < close; ++k)
                c = c * 16 + char32_t(std::max(hexValue(p[k]), 0));
            return character(close + 1 - at, c);
        }
        for (std::size_t k = at + 2; k < std::min(at + 4, p.size()); ++k)
            c = c * 16 + char32_t(std::max(hexValue(p[k]), 0));
        return character(4, c);
    }
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7': {
        // Up to three octal digits.
        std::size_t k = at + 1;
        char32_t c = 0;
        while (k < p.size() && k < at + 4 && p[k] >= '0' && p[k] <= '7')
            c = c * 8 + char32_t(p[k++] - '0');
        return character(k - at, c);
    }
    case 'a': return character(2, '\a');
    case 'f': return character(2, '\f');
    case 't': return character(2, '\t');
    case 'n': return character(2, '\n');
    case 'r': return character(2, '\r');
    case 'v': return character(2, '\v');
    case 'p':
    case 'P':
        // \pL or \p{Greek}: a class by name, left as written.
        if (at + 2 < p.size() && p[at + 2] == '{') {
            e.length = std::min(p.find('}', at + 3), p.size()) + 1 - at;
            return e;
        }
        e.length = 3;
        return e;
    default:
        if (static_cast<unsigned char>(d) < 0x80 && !isAsciiLetter(char32_t(d)) &&
            !isAsciiDigit(char32_t(d)))
            return character(2, char32_t(d)); // escaped punctuation
        e.length = 2;                         // \d \w \s \b \A \z \C and the like
        return e;
    }
}

// A literal text (of \Q...\E) as pattern: letters as both cases, punctuation escaped.
void appendLiteral(std::string_view text, std::string &out)
{
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (isAsciiLetter(b)) {
            out += bothCases(b);
        } else {
            if (b < 0x80 && !isAsciiDigit(b) && b > ' ') out += '\\';
            out += c;
        }
    }
}

// Adds to `extra` the other case of the ASCII letters in lo..hi.
void addOtherCases(char32_t lo, char32_t hi, std::string &extra)
{
    const auto add = [&](char32_t from, char32_t to) {
        extra += static_cast<char>(from);
        if (to != from) {
            extra += '-';
            extra += static_cast<char>(to);
        }
    };
    constexpr char32_t shift = 'a' - 'A';
    const char32_t upperFrom = std::max(lo, char32_t('A')), upperTo = std::min(hi, char32_t('Z'));
    if (upperFrom <= upperTo) add(upperFrom + shift, upperTo + shift);
    const char32_t lowerFrom = std::max(lo, char32_t('a')), lowerTo = std::min(hi, char32_t('z'));
    if (lowerFrom <= lowerTo) add(lowerFrom - shift, lowerTo - shift);
}

// A class character at `at`: an escape standing for one, or one UTF-8 character.
char32_t classCharacter(std::string_view p, std::size_t &at)
{
    if (p[at] == '\\') {
        const Escape e = readEscape(p, at);
        at += e.length;
        return e.character;
    }
    return decodeAt(p, at);
}

// The class at `at` (p[at] == '['), written to `out` with the other case of its
// ASCII letters added; returns the position after it.
std::size_t foldClass(std::string_view p, std::size_t at, std::string &out)
{
    std::size_t j = at + 1;
    if (j < p.size() && p[j] == '^') ++j;
    std::string extra;
    bool first = true; // a ']' right after the opening is a member
    std::size_t loneDash = std::string_view::npos;
    while (j < p.size() && (p[j] != ']' || first)) {
        first = false;
        loneDash = std::string_view::npos;
        if (p.compare(j, 2, "[:") == 0) {
            const std::size_t close = p.find(":]", j + 2);
            if (close != std::string_view::npos) {
                const std::string_view name = p.substr(j + 2, close - j - 2);
                if (name == "upper" || name == "lower" || name == "^upper" || name == "^lower")
                    extra += "[:upper:][:lower:]";
                j = close + 2;
                continue;
            }
        }
        if (p[j] == '\\') {
            const Escape e = readEscape(p, j);
            if (!e.isCharacter) {
                j += e.length; // \d \pL and the like: no ASCII letter of one case alone
                continue;
            }
        }
        const bool dash = p[j] == '-';
        const std::size_t itemAt = j;
        const char32_t lo = classCharacter(p, j);
        char32_t hi = lo;
        if (j + 1 < p.size() && p[j] == '-' && p[j + 1] != ']') {
            ++j;
            hi = classCharacter(p, j);
        } else if (dash) {
            loneDash = itemAt;
        }
        addOtherCases(lo, hi, extra);
    }
    // A '-' written last is a member; letters added after it would make it a range.
    const std::size_t contentEnd =
        loneDash != std::string_view::npos && loneDash + 1 == j ? loneDash : j;
    out.append(p.substr(at, contentEnd - at));
    out += extra;
    out.append(p.substr(contentEnd, j - contentEnd));
    out += ']';
    return std::min(j + 1, p.size());
}

} // namespace

std::string foldAsciiCaseInPattern(std::string_view p)
{
    std::string out;
    out.reserve(p.size() * 2);
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\\') {
            if (p.compare(i, 2, "\\Q") == 0) {
                // Literal text up to \E or the end.
                const std::size_t end = std::min(p.find("\\E", i + 2), p.size());
                appendLiteral(p.substr(i + 2, end - i - 2), out);
                i = std::min(end + 2, p.size());
                continue;
            }
            const Escape e = readEscape(p, i);
            if (e.isCharacter && isAsciiLetter(e.character))
                out += bothCases(e.character);
            else
                out.append(p.substr(i, e.length));
            i += e.length;
            continue;
        }
        if (c == '[') {
            i = foldClass(p, i, out);
            continue;
        }
        if (c == '(' && p.compare(i, 2, "(?") == 0) {
            // A group name (?P<name> or (?<name>, or flags (?i) (?s: - as written.
            const bool named = i + 2 < p.size() && (p[i + 2] == 'P' || p[i + 2] == '<');
            const std::size_t end = std::min(p.find_first_of(named ? ">)" : ":)", i + 2), p.size());
            out.append(p.substr(i, end + 1 - i));
            i = end + 1;
            continue;
        }
        if (isAsciiLetter(static_cast<unsigned char>(c)))
            out += bothCases(static_cast<unsigned char>(c));
        else
            out += c;
        ++i;
    }
    return out;
}

bool patternLiteral(std::string_view pattern, std::string &literal)
{
    literal.clear();
    constexpr std::string_view operators = "\\.+*?()|[]{}^$";
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (operators.find(c) == std::string_view::npos) {
            literal += c;
            continue;
        }
        if (c != '\\' || i + 1 >= pattern.size()) return false;
        const auto next = static_cast<unsigned char>(pattern[i + 1]);
        if (next >= 0x80 || isAsciiLetter(next) || isAsciiDigit(next)) return false;
        literal += static_cast<char>(next);
        ++i;
    }
    return true;
}
