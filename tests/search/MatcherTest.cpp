#include "search/Matcher.h"
#include "search/Matching.h"

#include "registry/win32/winreg.h"

#include <re2/re2.h>

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// Options by letters: c match case, w whole text, r pattern, n numbers, b binary;
// K, N, D leave keys, names or data out.
SearchOptions optionsOf(std::string_view letters)
{
    SearchOptions o;
    for (const char l : letters) {
        switch (l) {
        case 'c': o.matchCase = true; break;
        case 'w': o.wholeText = true; break;
        case 'r': o.pattern = true; break;
        case 'n': o.numbers = true; break;
        case 'b': o.binary = true; break;
        case 'K': o.keys = false; break;
        case 'N': o.names = false; break;
        case 'D': o.data = false; break;
        default: ADD_FAILURE() << "no option " << l;
        }
    }
    return o;
}

enum class Place
{
    Key,
    Name,
    Text
};

bool matches(const Matcher &m, Place place, std::string_view candidate)
{
    switch (place) {
    case Place::Key: return m.matchesKey(candidate);
    case Place::Name: return m.matchesName(candidate);
    case Place::Text: return m.matchesText(candidate);
    }
    return false;
}

// The eight combinations of case, whole and pattern, in the order of the expected
// columns: '1' a match, '0' none, '!' the pattern refused.
constexpr std::string_view kCombos[8] = {"", "c", "w", "cw", "r", "rc", "rw", "rcw"};

struct TextCase
{
    Place place;
    std::string candidate;
    std::string text;
    std::string_view expected; // over kCombos
};

const std::vector<TextCase> &textCases()
{
    static const std::vector<TextCase> cases = {
        {Place::Name, "Version", "version", "10101010"},
        {Place::Name, "ProductVersion", "Version", "11001100"},
        // Only A..Z fold: ä and Ä stay apart, around them ASCII still folds.
        {Place::Name, "M\xC3\xA4nner", "M\xC3\x84NNER", "00000000"},
        {Place::Name, "M\xC3\xA4NNER", "m\xC3\xA4nner", "10101010"},
        {Place::Name, "\xC3\x84", "[\xC3\xA4]", "00000000"},
        // The Kelvin sign is no 'k' (RE2's own folding would say it is), unless the
        // pattern asks for Unicode folding itself.
        {Place::Name, "\xE2\x84\xAA", "k", "00000000"},
        {Place::Name, "\xE2\x84\xAA", "^k", "00000000"},
        {Place::Name,
         "\xE2\x84\xAA"
         "elvin",
         "\\x{212A}elvin", "00001111"},
        {Place::Name,
         "\xE2\x84\xAA"
         "elvin",
         "(?i)kelvin", "00001111"},
        {Place::Name, "M\xC3\xA4nner", "^m\xC3\x84nner", "00000000"},
        {Place::Name, "M\xC3\xA4NNER", "^m\xC3\xA4nner", "00001010"},
        {Place::Name, "\xE2\x84\xAA", "(?i)k", "00001111"},
        {Place::Text, "steam_api64.dll", "steam_api(64)?\\.dll", "00001111"},
        {Place::Text, "STEAM_API.DLL", "steam_api(64)?\\.dll", "00001010"},
        {Place::Text, "c:\\STEAM_API.DLL", "steam_api\\.dll", "00001000"},
        // Keys: the whole path, or with "Whole text" the last name alone.
        {Place::Key, "\\Software\\Wine\\", "wine", "10101010"},
        {Place::Key, "\\Software\\Wine\\", "software", "10001000"},
        {Place::Key, "\\Software\\Wine\\", "\\\\wine\\\\", "00001000"},
        {Place::Key, "\\Software\\\xC3\x9Cml\xC3\xA4ut\\", "\xC3\x9Cml\xC3\xA4ut", "11111111"},
        {Place::Key, "\\Software\\\xC3\x9Cml\xC3\xA4ut\\", "\xC3\xBCml\xC3\xA4ut", "00000000"},
        {Place::Key, "\\", "^\\\\$", "00001100"},
        // A character is a UTF-8 sequence; a byte that is not UTF-8 is no character.
        {Place::Text, "caf\xC3\xA9", "caf.", "00001111"},
        {Place::Text, "\xE4\xB8\xAD\xE6\x96\x87", "^..$", "00001111"},
        {Place::Text,
         "ab\xFF"
         "cd",
         "cd", "11001100"},
        {Place::Text,
         "ab\xFF"
         "cd",
         "ab.cd", "00000000"},
        {Place::Text,
         "ab\xFF"
         "cd",
         "ab\\Ccd", "00001111"},
        {Place::Text,
         "ab\xFF"
         "cd",
         "\xFF", "1100!!!!"},
        // Classes and escapes gain the other case of their ASCII letters only.
        {Place::Text, "XYZ", "[x-z]+", "00001010"},
        {Place::Text, "A", "[^a]", "00000101"},
        {Place::Text, "A", "\\x61", "00001010"},
        {Place::Text, "A", "\\141", "00001010"},
        {Place::Text, "A.B", "\\Qa.b\\E", "00001010"},
        {Place::Text, "AxB", "\\Qa.b\\E", "00000000"},
        {Place::Text, "ABC", "^[[:lower:]]+$", "00001010"},
        {Place::Text, "A", "[a-]", "00001010"},
        {Place::Text, "AA", "a{2}", "00001010"},
        {Place::Text, "AB", "(?P<Name>ab)", "00001010"},
        {Place::Text, "\xC3\x89t\xC3\xA9", "\\p{Lu}", "00001100"},
        // "Whole text" anchors the pattern as a whole, not its first and last branch.
        {Place::Text, "xab", "xa|b", "00001100"},
        {Place::Text, "ab", "a|ab", "00001111"},
        // The empty text never matches; a pattern may match empty data, never the
        // default value's empty name.
        {Place::Name, "x", "", "00000000"},
        {Place::Text, "", "", "00000000"},
        {Place::Text, "", "^$", "00001111"},
        {Place::Name, "", "^$", "00000000"},
        {Place::Text, "a b", "a  b", "00000000"},
        {Place::Text, "(x)", "(x)", "11111100"},
    };
    return cases;
}

} // namespace

TEST(Matcher, CaseWholeAndPatternOverKeysNamesAndText)
{
    for (const TextCase &t : textCases())
        for (std::size_t i = 0; i < 8; ++i) {
            const Matcher m(t.text, optionsOf(kCombos[i]));
            const char got = !m.valid() ? '!' : matches(m, t.place, t.candidate) ? '1' : '0';
            EXPECT_EQ(got, t.expected[i]) << "\"" << t.text << "\" in \"" << t.candidate
                                          << "\" with \"" << kCombos[i] << "\" " << m.error();
            // The place found agrees with the test, and lies within the candidate.
            if (!m.valid()) continue;
            std::optional<Hit> hit;
            switch (t.place) {
            case Place::Key: hit = m.findInKey(t.candidate); break;
            case Place::Name: hit = m.findInName(t.candidate); break;
            case Place::Text: hit = m.findInText(t.candidate); break;
            }
            EXPECT_EQ(hit.has_value(), got == '1') << t.text << " in " << t.candidate;
            if (hit) {
                EXPECT_LE(hit->offset + hit->length, t.candidate.size());
            }
        }
}

TEST(Matcher, DefaultOptionsAreThePlainSearch)
{
    // The plain search's rule, found at the same places, whatever the texts.
    const std::vector<std::string> candidates = {
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",
        "FabrikamTool",
        "fabrikam",
        "xxFABRIKAMfabrikam",
        "\xC3\x84pfel",
        "",
        std::string("a\0Fabrikam", 10),
        "@[`{"};
    for (const std::string text : {"Fabrikam", "run\\", "\xC3\x84", "`{", "a"})
        for (const std::string &candidate : candidates) {
            const Matcher m(text);
            const std::size_t at = firstHit(asciiLower(text), candidate);
            EXPECT_EQ(m.matchesKey(candidate), at != std::string::npos);
            EXPECT_EQ(m.matchesText(candidate), at != std::string::npos);
            const std::optional<Hit> hit = m.findInText(candidate);
            EXPECT_EQ(hit ? hit->offset : std::string::npos, at);
        }
}

TEST(Matcher, LooksOnlyWhereAndWhenAsked)
{
    for (unsigned places = 0; places < 8; ++places) {
        std::string letters;
        if (!(places & 1)) letters += 'K';
        if (!(places & 2)) letters += 'N';
        if (!(places & 4)) letters += 'D';
        const Matcher m("wine", optionsOf(letters + "nb"));
        EXPECT_EQ(m.matchesKey("\\Wine\\"), bool(places & 1)) << letters;
        EXPECT_EQ(m.matchesName("Wine"), bool(places & 2)) << letters;
        EXPECT_EQ(m.matchesText("Wine"), bool(places & 4)) << letters;
        EXPECT_EQ(m.matchesData(REG_SZ, "Wine\0"s), bool(places & 4)) << letters;
        EXPECT_EQ(m.matchesData(REG_BINARY, "Wine"), bool(places & 4)) << letters;
        EXPECT_EQ(m.looksAtData(REG_BINARY), bool(places & 4)) << letters;
        EXPECT_FALSE(m.looksAtData(REG_DWORD)) << "\"wine\" is no number";
    }

    // Since inclusive, before exclusive; open ends.
    SearchOptions o;
    EXPECT_TRUE(Matcher("x", o).keyTimeFits(0));
    EXPECT_FALSE(Matcher("x", o).filtersByTime());
    o.changedSince = 100;
    EXPECT_FALSE(Matcher("x", o).keyTimeFits(99));
    EXPECT_TRUE(Matcher("x", o).keyTimeFits(100));
    o.changedBefore = 200;
    EXPECT_TRUE(Matcher("x", o).keyTimeFits(199));
    EXPECT_FALSE(Matcher("x", o).keyTimeFits(200));
    o.changedSince.reset();
    EXPECT_TRUE(Matcher("x", o).keyTimeFits(0));
    EXPECT_TRUE(Matcher("x", o).filtersByTime());
}

namespace {

struct DataCase
{
    std::uint32_t type;
    std::string bytes;
    std::string text;
    std::string_view options;
    std::optional<Hit> expected;
};

Hit hitOf(HitForm form, std::size_t offset, std::size_t length, std::size_t entry = 0)
{
    return Hit{form, entry, offset, length};
}

const std::vector<DataCase> &dataCases()
{
    const std::string dword1920 = "\x80\x07\0\0"s;
    static const std::vector<DataCase> cases = {
        // Strings: up to the first NUL; multi-strings entry by entry.
        {REG_SZ, "abc\0def"s, "def", "", std::nullopt},
        {REG_EXPAND_SZ, "%Path%\0"s, "path", "", hitOf(HitForm::Text, 1, 4)},
        {REG_MULTI_SZ, "one\0Two\0\0"s, "two", "", hitOf(HitForm::Text, 0, 3, 1)},
        {REG_MULTI_SZ, "one\0Two\0\0"s, "two", "c", std::nullopt},
        {REG_MULTI_SZ, "one\0Two\0\0"s, "^t", "r", hitOf(HitForm::Text, 0, 1, 1)},
        {REG_SZ, "1920\0"s, "1920", "n", hitOf(HitForm::Text, 0, 4)},
        // Numbers: equal values, read as the value list reads them.
        {REG_DWORD, dword1920, "1920", "n", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD, dword1920, "0x780", "n", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD, dword1920, " 0X780 ", "ncwr", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD, dword1920, "1920", "", std::nullopt},
        {REG_DWORD, dword1920, "1920", "nD", std::nullopt},
        {REG_DWORD, dword1920, "19", "n", std::nullopt},
        {REG_DWORD, dword1920, "1920", "b", std::nullopt},
        {REG_DWORD, "\x80\x07"s, "1920", "n", hitOf(HitForm::Number, 0, 2)},
        {REG_DWORD, "\x80\x07\0\0\0"s, "1920", "n", std::nullopt},
        {REG_DWORD, "\xFF\xFF\xFF\xFF"s, "-1", "n", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD, "\xFF\xFF\xFF\xFF"s, "4294967295", "n", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD_BIG_ENDIAN, "\0\0\x07\x80"s, "1920", "n", hitOf(HitForm::Number, 0, 4)},
        {REG_DWORD_BIG_ENDIAN, dword1920, "1920", "n", std::nullopt},
        {REG_QWORD, "\x80\x07\0\0\0\0\0\0"s, "0x780", "n", hitOf(HitForm::Number, 0, 8)},
        {REG_QWORD, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s, "-1", "n", hitOf(HitForm::Number, 0, 8)},
        {REG_QWORD, "\xFF\xFF\xFF\xFF\0\0\0\0"s, "-1", "n", std::nullopt},
        {REG_QWORD, "\x80\x07\0\0"s, "1920", "n", std::nullopt},
        // Binary: 8-bit text, UTF-16LE text at any offset, hexadecimal byte pairs.
        {REG_BINARY, "xx\xDE\xAD\xBE\xEFyy"s, "DE AD BE EF", "b", hitOf(HitForm::HexBytes, 2, 4)},
        {REG_BINARY, "xx\xDE\xAD\xBE\xEFyy"s, "deadbeef", "bc", hitOf(HitForm::HexBytes, 2, 4)},
        {REG_BINARY, "xx\xDE\xAD\xBE\xEFyy"s, "deadbeef", "br", std::nullopt},
        {REG_BINARY, "\x01Hello\x02"s, "hello", "b", hitOf(HitForm::Bytes, 1, 5)},
        {REG_BINARY, "\x01Hello\x02"s, "hello", "bc", std::nullopt},
        {REG_BINARY, "\x01Hello\x02"s, "hello", "", std::nullopt},
        {REG_BINARY, "\x01H\0e\0l\0l\0o\0"s, "hello", "b", hitOf(HitForm::Utf16, 1, 10)},
        {REG_BINARY, "\x01H\0e\0l\0l\0o\0"s, "hello", "bc", std::nullopt},
        {REG_BINARY, "\x01H\0e\0l\0l\0o\0"s, "Hello", "bc", hitOf(HitForm::Utf16, 1, 10)},
        {REG_BINARY, "\xE4\0"s, "\xC3\xA4", "b", hitOf(HitForm::Utf16, 0, 2)},
        // U+4100 is not U+6100 folded: only units A..Z fold, not a unit's high byte.
        {REG_BINARY, "\0\x41"s, "\xE6\x84\x80", "b", std::nullopt},
        {REG_NONE, "abc"s, "B", "b", hitOf(HitForm::Bytes, 1, 1)},
        {REG_NONE, "abc"s, "B", "n", std::nullopt},
        {REG_RESOURCE_LIST, "abc"s, "B", "b", hitOf(HitForm::Bytes, 1, 1)},
        // Binary as a whole: one terminating NUL (unit) aside.
        {REG_BINARY, "abc\0"s, "ABC", "bw", hitOf(HitForm::Bytes, 0, 3)},
        {REG_BINARY, "abcd"s, "abc", "bw", std::nullopt},
        {REG_BINARY, "a\0b\0\0\0"s, "AB", "bw", hitOf(HitForm::Utf16, 0, 4)},
        {REG_BINARY, "\xDE\xAD"s, "de ad", "bw", hitOf(HitForm::HexBytes, 0, 2)},
        {REG_BINARY, "\xDE\xAD\0"s, "de ad", "bw", std::nullopt},
        // Binary with a pattern: over the bytes, and over UTF-16LE at both alignments.
        {REG_BINARY, "\x01Hallo"s, "h.llo", "br", hitOf(HitForm::Bytes, 1, 5)},
        {REG_BINARY, "H\0i\0!\0"s, "hi!", "br", hitOf(HitForm::Utf16, 0, 6)},
        {REG_BINARY, "\x01h\0\xE4\0"s, "h.$", "br", hitOf(HitForm::Utf16, 1, 4)},
        {REG_BINARY, "h\0i\0\0\0"s, "hi", "brw", hitOf(HitForm::Utf16, 0, 4)},
        {REG_BINARY, "\x01h\0i\0"s, "hi", "brw", std::nullopt},
    };
    return cases;
}

} // namespace

TEST(Matcher, NumbersBinaryAndStringData)
{
    for (const DataCase &d : dataCases()) {
        const Matcher m(d.text, optionsOf(d.options));
        ASSERT_TRUE(m.valid()) << m.error();
        EXPECT_EQ(m.findInData(d.type, d.bytes), d.expected)
            << "\"" << d.text << "\" with \"" << d.options << "\" in type " << d.type;
        EXPECT_EQ(m.matchesData(d.type, d.bytes), d.expected.has_value()) << d.text;
    }
}

namespace {

struct ReplaceCase
{
    std::string text;
    std::string_view options;
    std::string candidate;
    std::string replacement;
    std::optional<std::string> expected; // unset: no match, left alone
};

} // namespace

TEST(Matcher, ReplacesWhatTheSearchMatched)
{
    const std::vector<ReplaceCase> cases = {
        {"FOO", "", "Foo Bar foo", "x", "x Bar foo"},
        {"foo", "c", "Foo Bar foo", "x", "Foo Bar x"},
        {"foo", "w", "Foo", "x", "x"},
        {"foo", "w", "Foox", "x", std::nullopt},
        {"\xC3\xA4", "", "\xC3\x84pfel", "x", std::nullopt},
        {"a\\1", "", "xa\\1", "b", "xb"}, // no groups without a pattern
        {"steam_api(64)?\\.dll", "r", "steam_api64.dll", "lib\\1.so", "lib64.so"},
        {"steam_api(64)?\\.dll", "r", "STEAM_API.DLL", "[\\0]", "[STEAM_API.DLL]"},
        {"steam_api(64)?\\.dll", "rc", "STEAM_API.DLL", "x", std::nullopt},
        {"a\\.b", "r", "xA.By", "\\\\", "x\\y"},
        {"caf.", "r", "caf\xC3\xA9 au lait", "tea", "tea au lait"},
        {"a*", "r", "aaab", "-", "-b"},
        {"a*", "r", "xyz", "-", "-xyz"},
        {"b", "rw", "ABC", "x", std::nullopt},
        {"b|abc", "rw", "ABC", "<\\0>", "<ABC>"},
        {"(?P<Word>\\w+) (\\w+)", "r", "hello world!", "\\2 \\1", "world hello!"},
    };
    for (const ReplaceCase &r : cases) {
        const Matcher m(r.text, optionsOf(r.options));
        ASSERT_TRUE(m.valid()) << m.error();
        ASSERT_EQ(m.replacementProblem(r.replacement), "") << r.replacement;
        std::string text = r.candidate;
        EXPECT_EQ(m.replaceFirst(text, r.replacement), r.expected.has_value()) << r.text;
        EXPECT_EQ(text, r.expected.value_or(r.candidate)) << r.text << " with " << r.options;
    }

    // A group the pattern lacks is refused before the run, in RE2's words.
    const Matcher groups("(a)", optionsOf("r"));
    EXPECT_NE(groups.replacementProblem("\\2"), "");
    std::string text = "a";
    EXPECT_FALSE(groups.replaceFirst(text, "\\2"));
    EXPECT_EQ(text, "a");
    EXPECT_EQ(Matcher("(a)").replacementProblem("\\2"), "");

    // Number and binary rows are not replaced; string, key and name rows are.
    for (const std::string_view type : {"REG_DWORD", "REG_BINARY", "REG_UNKNOWN"})
        EXPECT_NE(replaceRefusal(type).find(type), std::string::npos) << type;
    for (const std::string_view type : {"", "REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ"})
        EXPECT_EQ(replaceRefusal(type), "") << type;
}

TEST(Matcher, FoldedPatternsMatchAsAsciiCaseInsensitiveRe2)
{
    // Over ASCII text RE2's Latin-1 case-insensitive mode folds exactly A..Z, so it
    // is the yardstick for the rewritten patterns: same match, same place. Some
    // patterns by hand, and many put together from the pieces of RE2's syntax.
    std::vector<std::string> patterns;
    std::istringstream byHand(R"(abc [^a-f]+ [A-Z0-9_]+x \x41b \x{42} \Qa.b\E \Q[k] (?P<Word>k\w+)
        [[:lower:]]+ [^[:upper:]] []a] [^]a]+ [a-]+ [-z]+ [!-~]+ [Z-a]+ \101 [\x41-\x43]+
        [\]\-b]+ x{2,3} (?s:a.) (?i)abc \bk [\d\sK]+ a|B|c (x)(y)?)");
    for (std::string p; byHand >> p;)
        patterns.push_back(p);
    const std::size_t handMade = patterns.size();
    const std::vector<std::string> pieces = {
        "a", "B", "k",         "z",         "[",     "]",       "^",     "-",   "\\",  "x", "{",
        "}", "(", ")",         "?",         "P",     "<",       ">",     ":",   "|",   "*", "+",
        ".", "Q", "E",         "1",         "4",     "$",       "i",     "!",   "~",   "_", "`",
        "@", "Z", "[:upper:]", "[:lower:]", "\\x41", "\\x{62}", "\\101", "\\d", "\\pL"};
    std::mt19937 random(25);
    const std::vector<std::string> texts = {
        "ABC abc", "xXx XXX", "Kk_", "a-Z]",  "0x41B",  "A.B a.b", "kelvin KELVIN", "[]",
        "!~",      "[K]",     "^_`", "AB\nc", "zZ{}14", "-:<>?P",  "@Aa`Zz{"};
    re2::RE2::Options latin1;
    latin1.set_encoding(re2::RE2::Options::EncodingLatin1);
    latin1.set_case_sensitive(false);
    latin1.set_log_errors(false);
    std::size_t made = 0;
    for (std::size_t i = 0; made < 2'000; ++i) {
        if (i >= patterns.size()) {
            std::string p;
            for (std::size_t n = 1 + random() % 8; n > 0; --n)
                p += pieces[random() % pieces.size()];
            patterns.push_back(p);
        }
        const std::string &p = patterns[i];
        const re2::RE2 yardstick(p, latin1);
        if (i >= handMade && !yardstick.ok()) continue; // pieces that RE2 refuses anyway
        ++made;
        ASSERT_TRUE(yardstick.ok()) << p;
        const Matcher m(p, optionsOf("r"));
        ASSERT_TRUE(m.valid()) << p << ": " << m.error();
        for (const std::string &t : texts) {
            re2::StringPiece match;
            const bool found = yardstick.Match(t, 0, t.size(), re2::RE2::UNANCHORED, &match, 1);
            const std::optional<Hit> hit = m.findInText(t);
            ASSERT_EQ(hit.has_value(), found) << p << " in " << t;
            if (found) {
                EXPECT_EQ(hit->offset, std::size_t(match.data() - t.data())) << p << " in " << t;
                EXPECT_EQ(hit->length, match.size()) << p << " in " << t;
            }
        }
    }
}

TEST(Matcher, HostilePatternsAreRefusedOrBounded)
{
    // Refused before a run, in RE2's words.
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"a{1001}", "repetition"},
        {"(a{1000}){1000}", "repetition"},
        {"((a{100}){100}){100}", "repetition"},
        {"\\pL{1000}", "too large"},
        {"(?:\\pL|\\pN|\\pM){1000}", "too large"},
        {"\xFF", "UTF-8"},
        {"a\xC3", "UTF-8"},
        {"(a", "missing"},
        {"a)|(b", "unexpected"},
        {"\\", "trailing"},
        {"x**", "repetition"},
        {"(?P<n>a)\\1", "escape"},
    };
    for (const auto &[pattern, why] : refused)
        for (const std::string_view options : {"r", "rc", "rw"}) {
            const Matcher m(pattern, optionsOf(options));
            EXPECT_FALSE(m.valid()) << pattern;
            EXPECT_NE(m.error().find(why), std::string::npos) << pattern << ": " << m.error();
            EXPECT_FALSE(m.matchesText(pattern));
            EXPECT_FALSE(m.looksAtData(REG_SZ));
        }

    // Nested repetition and big counted repeats run in linear time over long texts,
    // text that is no UTF-8 included: these end, and with the right answer.
    std::string as(200'000, 'a');
    std::string noise(200'000, '\0');
    std::mt19937 random(7);
    for (char &c : noise)
        c = static_cast<char>(random());
    std::string ab(200'000, 'a');
    for (char &c : ab)
        c = random() % 2 ? 'a' : 'b';
    const struct
    {
        std::string pattern;
        const std::string &text;
        bool found;
    } bounded[] = {
        {"(a*)*b", as, false},
        {"(a+)+$x", as, false},
        {"(x+x+)+y", as, false},
        {"(a|aa)+b", as, false},
        {"[^x]{1000}", as, true},
        {".{1000}z", as, false},
        {"(.*){1000}", noise, true},
        {"(?:a|b)*a(?:a|b){20}c", ab, false}, // more DFA states than memory: NFA
        {"\\C{500}\\x00", noise, true},
        {"(\\pL|\\pN)+\xE4\xB8\xADzzzz", noise, false},
    };
    for (const auto &b : bounded) {
        const Matcher m(b.pattern, optionsOf("r"));
        ASSERT_TRUE(m.valid()) << b.pattern << ": " << m.error();
        EXPECT_EQ(m.matchesText(b.text), b.found) << b.pattern;
    }
    // A whole blob of noise through the binary views.
    const Matcher blob("(a|b)+\\x{FFFF}", optionsOf("rb"));
    ASSERT_TRUE(blob.valid());
    EXPECT_FALSE(blob.matchesData(REG_BINARY, noise));
}
