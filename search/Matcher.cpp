#include "search/Matcher.h"

#include "registry/api/MultiStringSplitter.h"
#include "registry/text/ValueText.h"
#include "registry/win32/RegText.h"
#include "registry/win32/WideText.h"
#include "registry/win32/winreg.h"
#include "search/Matching.h"
#include "search/PatternFolding.h"

#include <re2/filtered_re2.h>
#include <re2/re2.h>

#include <algorithm>
#include <vector>

namespace {

constexpr auto npos = std::string_view::npos;

enum class DataKind
{
    Text,
    MultiText,
    Number,
    Other
};

DataKind dataKindOf(std::uint32_t regType)
{
    switch (regType) {
    case REG_SZ:
    case REG_EXPAND_SZ: return DataKind::Text;
    case REG_MULTI_SZ: return DataKind::MultiText;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: return DataKind::Number;
    default: return DataKind::Other;
    }
}

re2::RE2::Options patternOptions()
{
    re2::RE2::Options options;
    options.set_encoding(re2::RE2::Options::EncodingUTF8);
    options.set_case_sensitive(true); // folding, where wanted, is in the pattern
    options.set_log_errors(false);
    options.set_max_mem(Matcher::kPatternMemory);
    return options;
}

std::unique_ptr<re2::RE2> compilePattern(std::string_view pattern)
{
    return std::make_unique<re2::RE2>(re2::StringPiece(pattern.data(), pattern.size()),
                                      patternOptions());
}

// Whether RE2's prefilter atoms for the pattern can be looked for with the ASCII
// fold: they are lowered in full Unicode, so a letter outside ASCII may turn into
// an ASCII one (the Kelvin sign into 'k') that the text does not hold. Patterns
// that may carry such a letter (bytes beyond ASCII, \x and octal escapes, Unicode
// folding asked for with (?i)) get no prefilter.
bool atomsFoldAsAscii(std::string_view p)
{
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80) return false;
        if (c == '\\' && i + 1 < p.size()) {
            const char d = p[++i];
            if (d == 'x' || (d >= '0' && d <= '7')) return false;
        } else if (c == '(' && p.compare(i, 2, "(?") == 0 && i + 2 < p.size() && p[i + 2] != 'P' &&
                   p[i + 2] != '<') {
            const std::size_t end = std::min(p.find_first_of(":)", i + 2), p.size());
            if (p.substr(i + 2, end - i - 2).find('i') != npos) return false;
        }
    }
    return true;
}

// Texts of which a match holds at least one (lower-cased ASCII), or none when the
// pattern may match without any. Testing a few of them with firstHit costs far
// less than a call of RE2, and most candidates hold none.
std::vector<std::string> requiredAtoms(std::string_view typed, std::string_view compiled,
                                       const re2::RE2::Options &options)
{
    constexpr int kShortestAtom = 3;
    constexpr std::size_t kMostAtoms = 4; // more cost more than RE2 itself
    if (!atomsFoldAsAscii(typed)) return {};
    re2::FilteredRE2 filter(kShortestAtom);
    int id = 0;
    if (filter.Add(re2::StringPiece(compiled.data(), compiled.size()), options, &id) !=
        re2::RE2::NoError)
        return {};
    std::vector<std::string> atoms;
    filter.Compile(&atoms);
    std::vector<int> passing;
    filter.AllPotentials({}, &passing);
    if (!passing.empty() || atoms.empty() || atoms.size() > kMostAtoms) return {};
    return atoms;
}

char16_t unitAt(std::string_view bytes, std::size_t at)
{
    return utf16leUnit(bytes.data() + at);
}

// The lowered UTF-16LE needle at `at`, folding only units A..Z: a byte-wise fold
// would also fold the high byte of a unit such as U+4100.
bool unitsMatchFolded(std::string_view bytes, std::size_t at, std::string_view needle)
{
    for (std::size_t k = 0; k < needle.size(); k += 2)
        if (asciiLower(unitAt(bytes, at + k)) != unitAt(needle, k)) return false;
    return true;
}

// The UTF-16LE units from byte `alignment` on, as UTF-8 (lone surrogates in their
// generalised form, as the registry layer converts them).
std::string utf8OfUtf16(std::string_view bytes, std::size_t alignment)
{
    return quarnel::platform::bytesFromUtf16(
        utf16leUnits(bytes.substr(std::min(alignment, bytes.size()))));
}

std::size_t utf16Length(std::string_view utf8)
{
    return quarnel::platform::utf16FromBytes(utf8).size();
}

// The data without one terminating NUL of `width` bytes, for "Whole text" on bytes.
std::string_view withoutTerminator(std::string_view bytes, std::size_t width)
{
    if (bytes.size() >= width && bytes.size() % width == 0 &&
        bytes.substr(bytes.size() - width).find_first_not_of('\0') == npos)
        bytes.remove_suffix(width);
    return bytes;
}

} // namespace

Matcher::Matcher(std::string_view text, const SearchOptions &options)
    : m_text(text), m_options(options)
{
    if (text.empty()) return; // an empty search text never matches
    const bool fold = !options.matchCase;
    std::string literal(text);
    bool plain = true;
    if (options.pattern) {
        // The pattern as typed first: RE2's message then quotes what the user wrote.
        std::unique_ptr<re2::RE2> typed = compilePattern(text);
        if (!typed->ok()) {
            m_error = typed->error();
            return;
        }
        const std::string compiled = fold ? foldAsciiCaseInPattern(text) : std::string(text);
        m_re = fold ? compilePattern(compiled) : std::move(typed);
        if (!m_re->ok()) {
            m_error = m_re->error();
            m_re.reset();
            return;
        }
        m_mode = TextMode::Pattern;
        m_atoms = requiredAtoms(text, compiled, patternOptions());
        for (const std::string &atom : m_atoms)
            m_atomsUtf16.push_back(utf16leBytes(quarnel::platform::utf16FromBytes(atom)));
        // A pattern without operators is searched for as the plain text: the same
        // hits, at the plain search's speed. The replace still goes through RE2.
        plain = patternLiteral(text, literal);
    }
    if (plain) {
        m_needle = fold ? asciiLower(literal) : literal;
        m_mode = options.wholeText ? (fold ? TextMode::FoldedWhole : TextMode::ExactWhole)
                                   : (fold ? TextMode::Folded : TextMode::Exact);
        if (options.binary) {
            std::u16string units = quarnel::platform::utf16FromBytes(literal);
            if (fold)
                for (char16_t &u : units)
                    u = asciiLower(u);
            m_needleUtf16 = utf16leBytes(units);
        }
    }
    // A number is a number whatever the case, whole or pattern options say.
    if (options.numbers) m_number = parseSearchNumber(text);
    if (options.binary && !options.pattern) m_hexBytes = parseHexBytes(text);
}

Matcher::~Matcher() = default;
Matcher::Matcher(Matcher &&) noexcept = default;
Matcher &Matcher::operator=(Matcher &&) noexcept = default;

std::string Matcher::textEveryHitHolds() const
{
    // Numbers and data bytes are found in what a registry file writes as numbers and hex.
    if (m_number || m_options.binary) return {};
    switch (m_mode) {
    case TextMode::Folded:
    case TextMode::Exact:
    case TextMode::FoldedWhole:
    case TextMode::ExactWhole: return asciiLower(m_needle);
    case TextMode::Never:
    case TextMode::Pattern: return {};
    }
    return {};
}

bool Matcher::looksAtOtherData(std::uint32_t regType) const
{
    if (!m_options.data || m_mode == TextMode::Never) return false;
    switch (dataKindOf(regType)) {
    case DataKind::Text:
    case DataKind::MultiText: return true;
    case DataKind::Number: return m_number.has_value();
    case DataKind::Other: return m_options.binary;
    }
    return false;
}

bool Matcher::testOtherText(std::string_view candidate) const
{
    switch (m_mode) {
    case TextMode::Never: return false;
    case TextMode::Folded: return firstHit(m_needle, candidate) != npos;
    case TextMode::Exact: return firstExactHit(m_needle, candidate) != npos;
    case TextMode::FoldedWhole:
        return candidate.size() == m_needle.size() && firstHit(m_needle, candidate) == 0;
    case TextMode::ExactWhole: return candidate == m_needle;
    case TextMode::Pattern:
        return mayMatch(candidate) &&
               m_re->Match(
                   re2::StringPiece(candidate.data(), candidate.size()), 0, candidate.size(),
                   m_options.wholeText ? re2::RE2::ANCHOR_BOTH : re2::RE2::UNANCHORED, nullptr, 0);
    }
    return false;
}

bool Matcher::mayMatch(std::string_view candidate) const
{
    if (m_atoms.empty()) return true;
    for (const std::string &atom : m_atoms)
        if (firstHit(atom, candidate) != npos) return true;
    return false;
}

std::optional<Hit> Matcher::findTextHit(std::string_view candidate) const
{
    std::size_t at = npos;
    std::size_t length = m_needle.size();
    switch (m_mode) {
    case TextMode::Never: break;
    case TextMode::Folded: at = firstHit(m_needle, candidate); break;
    case TextMode::Exact: at = firstExactHit(m_needle, candidate); break;
    case TextMode::FoldedWhole:
    case TextMode::ExactWhole:
        if (testText(candidate)) at = 0;
        break;
    case TextMode::Pattern: {
        re2::StringPiece match;
        const re2::StringPiece whole(candidate.data(), candidate.size());
        if (mayMatch(candidate) &&
            m_re->Match(whole, 0, candidate.size(),
                        m_options.wholeText ? re2::RE2::ANCHOR_BOTH : re2::RE2::UNANCHORED, &match,
                        1)) {
            at = std::size_t(match.data() - candidate.data());
            length = match.size();
        }
        break;
    }
    }
    if (at == npos) return std::nullopt;
    return Hit{HitForm::Text, 0, at, length};
}

namespace {

// A key's own name in a walker path ("\a\b\" -> "b"), as an offset and length.
std::string_view ownName(std::string_view keyPath)
{
    if (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
    const std::size_t slash = keyPath.rfind('\\');
    return slash == npos ? keyPath : keyPath.substr(slash + 1);
}

} // namespace

bool Matcher::matchesKey(std::string_view keyPath) const
{
    if (!m_options.keys) return false;
    if (!m_options.wholeText) return testText(keyPath);
    const std::string_view name = ownName(keyPath);
    return !name.empty() && testText(name);
}

std::optional<Hit> Matcher::findInKey(std::string_view keyPath) const
{
    if (!m_options.keys) return std::nullopt;
    if (!m_options.wholeText) return findTextHit(keyPath);
    const std::string_view name = ownName(keyPath);
    if (name.empty()) return std::nullopt;
    std::optional<Hit> hit = findTextHit(name);
    if (hit) hit->offset += std::size_t(name.data() - keyPath.data());
    return hit;
}

std::optional<Hit> Matcher::findInName(std::string_view valueName) const
{
    if (!m_options.names || valueName.empty()) return std::nullopt;
    return findTextHit(valueName);
}

std::optional<Hit> Matcher::findInText(std::string_view text) const
{
    if (!m_options.data) return std::nullopt;
    return findTextHit(text);
}

std::optional<Hit> Matcher::findInData(std::uint32_t regType, std::string_view bytes) const
{
    if (!looksAtData(regType)) return std::nullopt;
    switch (dataKindOf(regType)) {
    case DataKind::Text: return findTextHit(bytes.substr(0, bytes.find('\0')));
    case DataKind::MultiText: return findMultiString(bytes);
    case DataKind::Number: return findNumber(regType, bytes);
    case DataKind::Other: return findBinary(bytes);
    }
    return std::nullopt;
}

std::optional<Hit> Matcher::findMultiString(std::string_view bytes) const
{
    const std::vector<std::string> entries = SplitMultiString(bytes.data(), int(bytes.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (std::optional<Hit> hit = findTextHit(entries[i])) {
            hit->entry = i;
            return hit;
        }
    return std::nullopt;
}

std::optional<Hit> Matcher::findNumber(std::uint32_t regType, std::string_view bytes) const
{
    bool equal = false;
    if (regType == REG_QWORD) {
        equal =
            bytes.size() == 8 && m_number->qword && NumberOfBytes(bytes, false) == *m_number->qword;
    } else {
        const bool bigEndian = regType == REG_DWORD_BIG_ENDIAN;
        const bool readable = bigEndian ? bytes.size() == 4 : bytes.size() <= 4;
        equal = readable && m_number->dword && NumberOfBytes(bytes, bigEndian) == *m_number->dword;
    }
    if (!equal) return std::nullopt;
    return Hit{HitForm::Number, 0, 0, bytes.size()};
}

std::optional<Hit> Matcher::findBinary(std::string_view bytes) const
{
    const bool whole = m_options.wholeText;
    if (m_mode == TextMode::Pattern) {
        const auto anchor = whole ? re2::RE2::ANCHOR_BOTH : re2::RE2::UNANCHORED;
        const auto search =
            [&](std::string_view view) -> std::optional<std::pair<std::size_t, std::size_t>> {
            re2::StringPiece match;
            if (!mayMatch(view) || !m_re->Match(re2::StringPiece(view.data(), view.size()), 0,
                                                view.size(), anchor, &match, 1))
                return std::nullopt;
            return std::pair{std::size_t(match.data() - view.data()), match.size()};
        };
        const std::string_view asBytes = whole ? withoutTerminator(bytes, 1) : bytes;
        if (const auto m = search(asBytes)) return Hit{HitForm::Bytes, 0, m->first, m->second};
        // The atoms as UTF-16LE spare most blobs their decoding.
        const bool mayHoldUtf16 =
            m_atomsUtf16.empty() ||
            std::any_of(m_atomsUtf16.begin(), m_atomsUtf16.end(),
                        [&](const std::string &atom) { return firstHit(atom, bytes) != npos; });
        // UTF-16 text may start at an odd offset within a blob; a whole one starts at 0.
        for (std::size_t alignment = 0; mayHoldUtf16 && alignment < (whole ? 1u : 2u);
             ++alignment) {
            const std::string text =
                utf8OfUtf16(whole ? withoutTerminator(bytes, 2) : bytes, alignment);
            if (const auto m = search(text)) {
                const std::string_view view(text);
                return Hit{HitForm::Utf16, 0, alignment + 2 * utf16Length(view.substr(0, m->first)),
                           2 * utf16Length(view.substr(m->first, m->second))};
            }
        }
        return std::nullopt;
    }

    const bool fold = m_mode == TextMode::Folded || m_mode == TextMode::FoldedWhole;
    if (whole) {
        const std::string_view narrow = withoutTerminator(bytes, 1);
        if (testText(narrow)) return Hit{HitForm::Bytes, 0, 0, narrow.size()};
        const std::string_view wide = withoutTerminator(bytes, 2);
        if (wide.size() == m_needleUtf16.size() &&
            (fold ? unitsMatchFolded(wide, 0, m_needleUtf16) : wide == m_needleUtf16))
            return Hit{HitForm::Utf16, 0, 0, wide.size()};
        if (m_hexBytes && bytes == *m_hexBytes) return Hit{HitForm::HexBytes, 0, 0, bytes.size()};
        return std::nullopt;
    }
    if (const std::optional<Hit> hit = findTextHit(bytes))
        return Hit{HitForm::Bytes, 0, hit->offset, hit->length};
    if (!m_needleUtf16.empty()) {
        // The byte-wise scan finds every place, and a few more that the unit-wise
        // fold then turns down.
        for (std::size_t from = 0; from < bytes.size();) {
            const std::string_view rest = bytes.substr(from);
            const std::size_t at =
                fold ? firstHit(m_needleUtf16, rest) : firstExactHit(m_needleUtf16, rest);
            if (at == npos) break;
            if (!fold || unitsMatchFolded(rest, at, m_needleUtf16))
                return Hit{HitForm::Utf16, 0, from + at, m_needleUtf16.size()};
            from += at + 1;
        }
    }
    if (m_hexBytes) {
        const std::size_t at = firstExactHit(*m_hexBytes, bytes);
        if (at != npos) return Hit{HitForm::HexBytes, 0, at, m_hexBytes->size()};
    }
    return std::nullopt;
}

bool Matcher::replaceFirst(std::string &text, std::string_view replacement) const
{
    if (m_mode == TextMode::Never) return false;
    if (!m_re) {
        const std::optional<Hit> hit = findTextHit(text);
        if (!hit) return false;
        text.replace(hit->offset, hit->length, replacement);
        return true;
    }
    const int count = 1 + m_re->NumberOfCapturingGroups();
    std::vector<re2::StringPiece> groups(static_cast<std::size_t>(count));
    if (!m_re->Match(text, 0, text.size(),
                     m_options.wholeText ? re2::RE2::ANCHOR_BOTH : re2::RE2::UNANCHORED,
                     groups.data(), count))
        return false;
    std::string rewritten;
    if (!m_re->Rewrite(&rewritten, re2::StringPiece(replacement.data(), replacement.size()),
                       groups.data(), count))
        return false;
    text.replace(std::size_t(groups[0].data() - text.data()), groups[0].size(), rewritten);
    return true;
}

std::string Matcher::replacementProblem(std::string_view replacement) const
{
    std::string problem;
    if (m_re && !m_re->CheckRewriteString(re2::StringPiece(replacement.data(), replacement.size()),
                                          &problem))
        return problem;
    return {};
}

std::string replaceRefusal(std::string_view typeCell)
{
    if (typeCell.empty() || typeCell == TypeText(REG_SZ) || typeCell == TypeText(REG_EXPAND_SZ) ||
        typeCell == TypeText(REG_MULTI_SZ))
        return {};
    return std::string(typeCell) +
           " data holds no text to replace: only string data is replaced. The row can be "
           "deleted or located.";
}
