// A search text compiled under its options: whether a key path, a value name or a
// value's data matches, where, and what a replace makes of a matching text. The
// window's search and the command line share it; free of Qt.
//
// The house rule of case: without "Match case" only the ASCII letters A..Z are
// folded, every other byte compares exactly (search/Matching.h) - for patterns too
// (search/PatternFolding.h). An empty search text never matches.
//
// Patterns are RE2's syntax in UTF-8 mode: a character is a UTF-8 sequence, so '.'
// and classes take a whole accented or CJK letter. Registry text may hold bytes that
// are not UTF-8; such a byte is no character (only \C takes it), but the text around
// it is still searched. RE2 runs in linear time and refuses what would need more
// than kPatternMemory; counted repeats are limited to 1000 in all.
#pragma once

#include "registry/win32/winreg.h"
#include "search/Matching.h"
#include "search/SearchOptions.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

// How a value's data matched.
enum class HitForm : std::uint8_t
{
    Text,     // a string datum or multi-string entry (`entry` says which)
    Number,   // a number value equal to the text read as a number
    Bytes,    // the text as 8-bit (UTF-8) text in the data bytes
    Utf16,    // the text as UTF-16LE text in the data bytes
    HexBytes, // the bytes the text writes as hexadecimal pairs
};

struct Hit
{
    HitForm form = HitForm::Text;
    std::size_t entry = 0;  // the multi-string entry, counted from 0
    std::size_t offset = 0; // in the candidate: the text, the entry, or the data bytes
    std::size_t length = 0; // a Number hit covers the whole data
    bool operator==(const Hit &) const = default;
};

class Matcher
{
public:
    // The memory RE2 may take for a pattern (its default; more is refused).
    static constexpr std::int64_t kPatternMemory = 8 << 20;

    // Compiles `text` under `options`. An invalid pattern leaves the matcher not
    // valid() with RE2's message in error(); it then matches nothing.
    explicit Matcher(std::string_view text, const SearchOptions &options = {});
    ~Matcher();
    Matcher(Matcher &&) noexcept;
    Matcher &operator=(Matcher &&) noexcept;

    bool valid() const { return m_error.empty(); }
    const std::string &error() const { return m_error; }
    const std::string &text() const { return m_text; }
    const SearchOptions &options() const { return m_options; }

    // What a walk needs to look at:
    // A key whose last write lies outside the changed range is neither tested nor
    // are its values; its subkeys are (they have their own times).
    bool keyTimeFits(std::uint64_t lastWriteFileTime) const
    {
        return (!m_options.changedSince || lastWriteFileTime >= *m_options.changedSince) &&
               (!m_options.changedBefore || lastWriteFileTime < *m_options.changedBefore);
    }
    bool filtersByTime() const { return m_options.changedSince || m_options.changedBefore; }
    // What every hit holds, ASCII letters in lower case: bytes that each key
    // path, value name or string datum a hit is found in contains as they are,
    // so that a registry's files need be read only where they stand
    // (readRegistryCopy). "" when hits need not hold any (a pattern, a number,
    // data bytes): a way of matching promises nothing until it says so here.
    std::string textEveryHitHolds() const;
    bool looksAtKeys() const { return m_options.keys; }
    bool looksAtNames() const { return m_options.names; }
    // Whether data of this registry type can match at all (REG_SZ, REG_EXPAND_SZ and
    // REG_MULTI_SZ with "Data"; numbers with "Numbers", and only when the text reads
    // as a number; everything else with "Binary"); a walk reads no other data.
    bool looksAtData(std::uint32_t regType) const
    {
        if (isStringType(regType)) return m_options.data && m_mode != TextMode::Never;
        return looksAtOtherData(regType);
    }

    // Matching (false for a place not looked at):
    // A key path as the walker writes it ("\Software\Wine\"); with "Whole text" its
    // last name alone is compared. The root's path never matches whole.
    bool matchesKey(std::string_view keyPath) const;
    // A value name; the default value's empty name never matches.
    bool matchesName(std::string_view valueName) const
    {
        return m_options.names && !valueName.empty() && testText(valueName);
    }
    // A string datum (up to its first NUL) or one multi-string entry.
    bool matchesText(std::string_view text) const { return m_options.data && testText(text); }
    // A value's data as the registry holds it: strings are cut at their first NUL,
    // multi-strings split into entries as the result list shows them
    // (SplitMultiString), numbers read little-endian (big-endian for
    // REG_DWORD_BIG_ENDIAN; a REG_DWORD shorter than four bytes reads its missing
    // bytes as zero, as the value list does; other sizes are no number). A number
    // equals the text read as a number whatever the case, whole or pattern options.
    // Other data ("Binary") holds the text as 8-bit text or as UTF-16LE text at any
    // offset (a pattern runs over the bytes, and over them read as UTF-16LE from
    // offset 0 and from 1); without a pattern also as the bytes its hexadecimal
    // pairs write. "Whole text" there means the whole data, a terminating NUL aside.
    bool matchesData(std::uint32_t regType, std::string_view bytes) const
    {
        if (isStringType(regType)) return matchesText(bytes.substr(0, bytes.find('\0')));
        return looksAtOtherData(regType) && findInData(regType, bytes).has_value();
    }

    // Where:
    // The first match, as the matching above finds it; offsets into the argument.
    std::optional<Hit> findInKey(std::string_view keyPath) const;
    std::optional<Hit> findInName(std::string_view valueName) const;
    std::optional<Hit> findInText(std::string_view text) const;
    std::optional<Hit> findInData(std::uint32_t regType, std::string_view bytes) const;

    // Replace:
    // Replaces the first match in `text` (a value name, a key's own name, a string
    // datum or one multi-string entry) by `replacement`: with a pattern, \0..\9 in
    // it stand for the match and its groups and \\ for a backslash; otherwise it is
    // taken as it is. With "Whole text" the text must match as a whole. Returns
    // false, leaving `text` alone, when it does not match.
    bool replaceFirst(std::string &text, std::string_view replacement) const;
    // Why `replacement` cannot be used with this pattern ("" when it can): a group
    // it names that the pattern does not have, a backslash before anything but a
    // digit or a backslash. Always "" without a pattern.
    std::string replacementProblem(std::string_view replacement) const;

private:
    enum class TextMode : std::uint8_t
    {
        Never,  // empty text, invalid pattern
        Folded, // firstHit on the lowered needle
        Exact,  // firstExactHit
        FoldedWhole,
        ExactWhole,
        Pattern,
    };

    static bool isStringType(std::uint32_t regType)
    {
        return regType == REG_SZ || regType == REG_EXPAND_SZ;
    }
    bool looksAtOtherData(std::uint32_t regType) const;
    // The plain search inline, as the walker tests about a million candidates a run.
    bool testText(std::string_view candidate) const
    {
        if (m_mode == TextMode::Folded)
            return firstHit(m_needle, candidate) != std::string_view::npos;
        return testOtherText(candidate);
    }
    bool testOtherText(std::string_view candidate) const;
    bool mayMatch(std::string_view candidate) const;
    std::optional<Hit> findTextHit(std::string_view candidate) const;
    std::optional<Hit> findNumber(std::uint32_t regType, std::string_view bytes) const;
    std::optional<Hit> findBinary(std::string_view bytes) const;
    std::optional<Hit> findMultiString(std::string_view bytes) const;

    std::string m_text;
    SearchOptions m_options;
    std::string m_error;
    TextMode m_mode = TextMode::Never;
    std::string m_needle;                  // lowered when folded
    std::unique_ptr<re2::RE2> m_re;        // with a pattern: the folded one when folding
    std::vector<std::string> m_atoms;      // a match holds one of them; empty: no such texts
    std::vector<std::string> m_atomsUtf16; // the same as UTF-16LE bytes
    std::optional<SearchNumber> m_number;
    std::string m_needleUtf16; // the needle as UTF-16LE bytes ("Binary")
    std::optional<std::string> m_hexBytes;
};

// Why a data row of this Type cell cannot be replaced ("" when it can): a replace
// rewrites text, and a number or binary row found by "Numbers" or "Binary" holds none.
std::string replaceRefusal(std::string_view typeCell);
