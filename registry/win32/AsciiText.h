// The small text rules every layer shares: only the ASCII letters A..Z fold, hex
// digits, blanks around a word, lines of typed text. Bytes are registry text
// (UTF-8 as the 8-bit code page); nothing here touches a byte of 0x80 or above.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr char16_t asciiLower(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

constexpr char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// Lower-cases A..Z only; the length never changes, so positions carry over.
inline std::string asciiLower(std::string_view text)
{
    std::string lowered(text);
    for (char &c : lowered)
        c = asciiLower(c);
    return lowered;
}

// Equal once A..Z are folded: "hkcu" names HKCU, "Ä" is not "ä".
constexpr bool sameAsciiLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// 0..15, or -1 for anything but 0-9, a-f, A-F; for 8-bit text and UTF-16 units.
template <typename Char> constexpr int hexDigit(Char c)
{
    if (c >= Char('0') && c <= Char('9')) return int(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return int(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return int(c - Char('A')) + 10;
    return -1;
}

// Without the blanks (spaces and tabs) around it: a word typed or read from a file.
template <typename Char>
constexpr std::basic_string_view<Char> trimmed(std::basic_string_view<Char> text)
{
    const auto blank = [](Char c) { return c == Char(' ') || c == Char('\t'); };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}
constexpr std::string_view trimmed(std::string_view text)
{
    return trimmed<char>(text);
}
constexpr std::u16string_view trimmed(std::u16string_view text)
{
    return trimmed<char16_t>(text);
}

// Without any white space around it (line breaks too): a text pasted into a field.
constexpr std::string_view trimmedSpace(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// A typed text's lines, cut at \n, \r\n and \r; the last line may be empty.
inline std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return lines;
}
