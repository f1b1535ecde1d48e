#include "registry/wine/WineRegReader.h"

#include "registry/win32/FileTime.h"
#include "registry/win32/KeyNames.h"
#include "registry/win32/RegText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarnel::platform::wine {

namespace {

// Digit values of the hex characters, -1 for every other byte: hex data is most
// of a registry file, and a lookup beats three range tests per character.
constexpr std::array<int8_t, 256> kHexDigits = [] {
    std::array<int8_t, 256> t{};
    t.fill(-1);
    for (int c = 0; c < 10; ++c)
        t['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c)
        t['a' + c] = t['A' + c] = static_cast<int8_t>(10 + c);
    return t;
}();

constexpr int hexDigit(char c)
{
    return kHexDigits[static_cast<unsigned char>(c)];
}

// The byte two hex digits stand for, by one lookup of both, -1 for any other
// pair: what Wine writes of hex data is such pairs and commas, byte after byte.
constexpr std::array<int16_t, 65536> kHexPairs = [] {
    std::array<int16_t, 65536> t{};
    t.fill(-1);
    constexpr std::string_view digits = "0123456789abcdefABCDEF";
    for (const char hi : digits)
        for (const char lo : digits)
            t[static_cast<unsigned char>(hi) | static_cast<unsigned>(lo) << 8] =
                static_cast<int16_t>(hexDigit(hi) * 16 + hexDigit(lo));
    return t;
}();

int hexPair(char first, char second)
{
    return kHexPairs[static_cast<unsigned char>(first) |
                     static_cast<unsigned>(static_cast<unsigned char>(second)) << 8];
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view s, std::size_t &pos)
{
    while (pos < s.size() && isBlank(s[pos]))
        ++pos;
}

// Bytes of a line being read. Unlike a vector it leaves what it grows by unset:
// each text is first given room for the rest of its line and then cut to what it
// took, and zeroing that room cost a pass over the whole file.
class LineBytes
{
public:
    uint8_t *data() { return m_bytes.get(); }
    const uint8_t *data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }
    uint8_t &operator[](std::size_t i) { return m_bytes[i]; }
    void clear() { m_size = 0; }
    void resize(std::size_t size)
    {
        if (size > m_capacity) {
            const std::size_t capacity = std::max(size, 2 * m_capacity);
            auto bigger = std::make_unique_for_overwrite<uint8_t[]>(capacity);
            if (m_size) std::memcpy(bigger.get(), m_bytes.get(), m_size);
            m_bytes = std::move(bigger);
            m_capacity = capacity;
        }
        m_size = size;
    }
    void push_back(uint8_t byte)
    {
        resize(m_size + 1);
        m_bytes[m_size - 1] = byte;
    }

private:
    std::unique_ptr<uint8_t[]> m_bytes;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// Writes a unit; text read narrow (one byte a unit) refuses units above 0xFF,
// and is then read again wide.
bool putUnit(char16_t *&out, char32_t unit)
{
    *out++ = static_cast<char16_t>(unit);
    return true;
}

bool putUnit(uint8_t *&out, char32_t unit)
{
    if (unit > 0xFF) return false;
    *out++ = static_cast<uint8_t>(unit);
    return true;
}

template <typename Unit> bool putCodePoint(Unit *&out, char32_t cp)
{
    if (cp < 0x10000) return putUnit(out, cp);
    cp -= 0x10000;
    return putUnit(out, 0xD800 + (cp >> 10)) && putUnit(out, 0xDC00 + (cp & 0x3FF));
}

enum class Unescaped
{
    Closed,
    Unterminated,
    BadUtf8,
    Wide // read narrow, a unit did not fit
};

// Decodes one UTF-8 sequence at s[pos]; Wine drops invalid bytes silently, so
// we refuse them rather than load a changed text.
template <typename Unit> Unescaped decodeUtf8(std::string_view s, std::size_t &pos, Unit *&out)
{
    char32_t cp = 0;
    const std::size_t len = utf8Sequence(s.substr(pos), cp);
    if (len == 0) return Unescaped::BadUtf8;
    if (!putCodePoint(out, cp)) return Unescaped::Wide;
    pos += len;
    return Unescaped::Closed;
}

// Copies the plain ASCII run at s[pos], up to the end character, a backslash
// or a multi-byte character, sixteen bytes at a time where the processor lets
// us: most text is such runs. Returns the bytes copied; the caller copies what
// is left byte by byte. `o` has room for a unit per byte of s from pos on, and
// may be written beyond the run.
template <typename Unit>
std::size_t copyPlainRun(std::string_view s, std::size_t pos, char end, Unit *&o)
{
    const std::size_t start = pos;
#if defined(__SSE2__)
    const __m128i ends = _mm_set1_epi8(end), backslashes = _mm_set1_epi8('\\');
    while (pos + 16 <= s.size()) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + pos));
        const __m128i stopBytes =
            _mm_or_si128(_mm_cmpeq_epi8(w, ends), _mm_cmpeq_epi8(w, backslashes));
        const unsigned stops =
            static_cast<unsigned>(_mm_movemask_epi8(stopBytes) | _mm_movemask_epi8(w));
        if constexpr (sizeof(Unit) == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o), w);
        } else {
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_unpacklo_epi8(w, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 8), _mm_unpackhi_epi8(w, zero));
        }
        const std::size_t plain = stops ? static_cast<std::size_t>(std::countr_zero(stops)) : 16;
        o += plain;
        pos += plain;
        if (stops) break;
    }
#else
    (void)s, (void)end, (void)o;
#endif
    return pos - start;
}

// Reads escaped text from s[pos] up to the unescaped `end` character, which is
// consumed. The escapes are the ones Wine reads: C letters, 1-3 octal digits,
// \x with 1-4 hex digits, and any other escaped character standing for itself.
// `o` has room for a unit per byte of s from pos on.
template <typename Unit>
Unescaped unescapeInto(std::string_view s, std::size_t &pos, char end, Unit *&o)
{
    const std::size_t n = s.size();
    while (pos < n) {
        pos += copyPlainRun(s, pos, end, o);
        if (pos == n) return Unescaped::Unterminated;
        char c = s[pos];
        while (c != end && c != '\\' && static_cast<unsigned char>(c) < 0x80) {
            *o++ = static_cast<Unit>(c);
            if (++pos == n) return Unescaped::Unterminated;
            c = s[pos];
        }
        if (c == end) {
            ++pos;
            return Unescaped::Closed;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (const Unescaped r = decodeUtf8(s, pos, o); r != Unescaped::Closed) return r;
            continue;
        }
        if (++pos >= n) return Unescaped::Unterminated;
        const char e = s[pos++];
        char32_t unit;
        switch (e) {
        case 'a': unit = u'\a'; break;
        case 'b': unit = u'\b'; break;
        case 'e': unit = 0x1b; break;
        case 'f': unit = u'\f'; break;
        case 'n': unit = u'\n'; break;
        case 'r': unit = u'\r'; break;
        case 't': unit = u'\t'; break;
        case 'v': unit = u'\v'; break;
        case 'x': {
            unsigned v = 0;
            int digits = 0;
            for (int d; digits < 4 && pos < n && (d = hexDigit(s[pos])) >= 0; ++digits, ++pos)
                v = v * 16 + static_cast<unsigned>(d);
            unit = digits ? v : u'x';
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = static_cast<unsigned>(e - '0');
                for (int k = 1; k < 3 && pos < n && s[pos] >= '0' && s[pos] <= '7'; ++k)
                    v = v * 8 + static_cast<unsigned>(s[pos++] - '0');
                unit = v;
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                --pos; // an escaped multi-byte character stands for itself
                if (const Unescaped r = decodeUtf8(s, pos, o); r != Unescaped::Closed) return r;
                continue;
            } else {
                unit = static_cast<unsigned char>(e);
            }
        }
        if (!putUnit(o, unit)) return Unescaped::Wide;
    }
    return Unescaped::Unterminated;
}

template <typename Text>
Unescaped unescape(std::string_view s, std::size_t &pos, char end, Text &out)
{
    // No byte read gives more than one unit (a four-byte sequence gives two),
    // so the rest of the line bounds the text.
    out.resize(s.size() - std::min(pos, s.size()));
    auto *o = out.data();
    const Unescaped result = unescapeInto(s, pos, end, o);
    out.resize(static_cast<std::size_t>(o - out.data()));
    return result;
}

// Text read narrow into `narrow` where every unit fits a byte, else wide into
// `wide`; what it gives is valid until the next read into either.
Unescaped unescapeText(std::string_view s, std::size_t &pos, char end, LineBytes &narrow,
                       std::u16string &wide, UnitText &text)
{
    const std::size_t start = pos;
    Unescaped result = unescape(s, pos, end, narrow);
    if (result != Unescaped::Wide) {
        text = UnitText(narrow.data(), narrow.size());
        return result;
    }
    pos = start;
    result = unescape(s, pos, end, wide);
    text = UnitText(std::u16string_view(wide));
    return result;
}

// strtoul as Wine applies it to numbers in the file: leading blanks, a sign, and
// for base 16 an optional 0x; the result wraps to 32 bits. Returns digits read.
int parseNumber(std::string_view s, std::size_t &pos, int base, uint32_t &out)
{
    skipBlanks(s, pos);
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
    if (base == 16 && pos + 2 < s.size() + 1 && pos + 1 < s.size() && s[pos] == '0' &&
        (s[pos + 1] == 'x' || s[pos + 1] == 'X') && pos + 2 < s.size() && hexDigit(s[pos + 2]) >= 0)
        pos += 2;
    uint64_t v = 0;
    bool overflow = false;
    int digits = 0;
    for (; pos < s.size(); ++pos, ++digits) {
        const int d = hexDigit(s[pos]);
        if (d < 0 || d >= base) break;
        // Fewer than sixteen digits never overflow: spare those the division.
        if (digits >= 15 &&
            v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            overflow = true;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (overflow)
        v = UINT64_MAX;
    else if (negative)
        v = 0 - v;
    out = static_cast<uint32_t>(v);
    return digits;
}

void appendUnitsWithNul(LineBytes &data, std::u16string_view units)
{
    data.resize(units.size() * 2 + 2);
    uint8_t *p = data.data();
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, units.data(), units.size() * 2);
        p += units.size() * 2;
    } else {
        for (char16_t u : units) {
            *p++ = static_cast<uint8_t>(u & 0xFF);
            *p++ = static_cast<uint8_t>(u >> 8);
        }
    }
    p[0] = p[1] = 0;
}

class Reader
{
public:
    Reader(std::string_view text, RegKey &root, Preamble &preamble)
        : m_text(text), m_root(root), m_preamble(preamble)
    {
        m_lastByte = text.empty() ? '\n' : text.back();
        m_empty = text.empty();
        m_atEnd = true; // there is nothing more to read
        noteNul(0);
    }
    // `fromSection`: the text is a later part of a file, starting at a section.
    // `size`: how much text there is, where known.
    Reader(const TextPieces &pieces, RegKey &root, Preamble &preamble, bool fromSection = false,
           uint64_t size = UINT64_MAX)
        : m_pieces(&pieces), m_fromSection(fromSection), m_root(root), m_preamble(preamble)
    {
        // Room for a small text and the read that finds its end.
        if (size < m_pieceBytes) m_pieceBytes = static_cast<std::size_t>(size) + 1;
    }

    ReadResult run();

    // What joining a part read on its own needs to know of it (PartRead).
    std::size_t linesRead() const { return m_lineNo; }
    std::size_t nulLine() const { return m_nulLine; }
    bool readFailed() const { return m_readFailed; }
    bool rootSeen() const { return m_rootSeen; }
    bool notRegistryFile() const { return m_notRegistryFile; } // nothing after line 1 counts
    const std::vector<RegKey *> &classedKeys() const { return m_classed; }

private:
    bool nextLine(std::string_view &line);
    // Reads more of the file behind the unread text; false at its end.
    bool readMore();
    // Looks for a NUL in the text from `from` on, which has not been looked at.
    void noteNul(std::size_t from);
    // A NUL anywhere in the file is what is reported, whatever else is wrong.
    ReadResult fail(std::string message);
    ReadResult finish(ReadResult result);
    ReadResult keyLine(std::string_view line);
    ReadResult valueLine(std::string_view line);
    ReadResult hexData(std::string_view line, std::size_t pos, LineBytes &data);
    void metaLine(std::string_view line);
    void keepUnknown(std::string_view line);
    void takeValues();

    std::string_view m_text; // the text read and not yet dropped
    std::size_t m_pos = 0;
    std::size_t m_lineNo = 0;
    // Reading in pieces: the file never sits in memory whole, only the lines
    // being read. Without pieces, m_text is the whole file.
    const TextPieces *m_pieces = nullptr;
    std::size_t m_pieceBytes = std::size_t(1) << 20; // read at a time
    bool m_fromSection = false;
    bool m_notRegistryFile = false;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    bool m_atEnd = false;
    bool m_readFailed = false;
    bool m_empty = true;
    char m_lastByte = '\n';
    std::size_t m_nulLine = 0; // line of the first NUL, once one was read
    RegKey &m_root;
    Preamble &m_preamble;
    RegKey *m_key = nullptr;
    bool m_keyIsNew = false;         // whether this section created its key (its #time then counts)
    bool m_rootSeen = false;         // a section named the root itself
    std::vector<RegKey *> m_classed; // keys a #class line gave a class, in case it is empty
    // The previous section's keys, to reuse the walk for the next sibling.
    std::vector<RegKey *> m_chain;
    std::size_t m_pathDepth = 0; // entries of m_chain that are current
    // Reused for every line, so that reading costs one allocation per value.
    std::u16string m_scratch;
    std::u16string m_name;
    LineBytes m_narrowName;
    LineBytes m_narrowPath;
    LineBytes m_data;
    // The section's values while they come in order; its key gets them at once,
    // in a block without spare room, instead of growing its own value by value.
    ValueTable::Builder m_values;
};

void Reader::noteNul(std::size_t from)
{
    if (m_nulLine) return;
    const void *nul = std::memchr(m_text.data() + from, '\0', m_text.size() - from);
    if (!nul) return;
    // The lines before m_pos were read whole; count those after it up to the NUL.
    const auto at = static_cast<std::size_t>(static_cast<const char *>(nul) - m_text.data());
    m_nulLine = m_lineNo + 1 +
                static_cast<std::size_t>(
                    std::count(m_text.begin() + static_cast<std::ptrdiff_t>(m_pos),
                               m_text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

bool Reader::readMore()
{
    if (!m_pieces || m_atEnd) return false;
    const std::size_t unread = m_text.size() - m_pos;
    // A line longer than the buffer makes it grow; the rest moves to its front.
    if (unread + m_pieceBytes > m_capacity) {
        const std::size_t capacity = std::max(2 * m_capacity, unread + m_pieceBytes);
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        if (unread) std::memcpy(bigger.get(), m_text.data() + m_pos, unread);
        m_buffer = std::move(bigger);
        m_capacity = capacity;
    } else if (m_pos) {
        std::memmove(m_buffer.get(), m_text.data() + m_pos, unread);
    }
    std::size_t got = 0;
    if (!(*m_pieces)(m_buffer.get() + unread, m_capacity - unread, got)) {
        m_readFailed = true;
        got = 0;
    }
    m_text = std::string_view(m_buffer.get(), unread + got);
    m_pos = 0;
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    m_empty = false;
    m_lastByte = m_text.back();
    noteNul(unread);
    return true;
}

ReadResult Reader::fail(std::string message)
{
    // The rest of the file may still hold a NUL, which is the better report.
    const std::size_t line = m_lineNo;
    while (!m_nulLine && !m_atEnd) {
        m_lineNo += static_cast<std::size_t>(
            std::count(m_text.begin() + static_cast<std::ptrdiff_t>(m_pos), m_text.end(), '\n'));
        m_pos = m_text.size();
        readMore();
    }
    return finish({false, line, std::move(message)});
}

ReadResult Reader::finish(ReadResult result)
{
    if (m_readFailed) return {false, m_lineNo, "the file could not be read", true};
    if (m_nulLine) return {false, m_nulLine, "binary data (a NUL byte) in the file"};
    return result;
}

bool Reader::nextLine(std::string_view &line)
{
    const void *nl = nullptr;
    while (m_pos >= m_text.size() ||
           !(nl = std::memchr(m_text.data() + m_pos, '\n', m_text.size() - m_pos)))
        if (!readMore()) break;
    if (m_pos >= m_text.size()) return false;
    const char *start = m_text.data() + m_pos;
    std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char *>(nl) - start)
                         : m_text.size() - m_pos;
    m_pos += len + (nl ? 1 : 0);
    // CRLF files are read as LF ones; all trailing CRs go, so that a kept line reads back the same.
    while (len && start[len - 1] == '\r')
        --len;
    line = std::string_view(start, len);
    ++m_lineNo;
    return true;
}

ReadResult Reader::run()
{
    std::string_view line;
    if (!m_fromSection && (!nextLine(line) || line != kRegistryHeader)) {
        if (m_readFailed) return finish({});
        m_notRegistryFile = true;
        return {false, m_lineNo,
                "not a Wine registry file (the first line must be \"" +
                    std::string(kRegistryHeader) + "\")"};
    }
    // A NUL never belongs in this text format; it is found wherever it is.
    while (!m_nulLine && nextLine(line)) {
        if (m_nulLine) break;
        std::size_t pos = 0;
        skipBlanks(line, pos);
        const std::string_view body = line.substr(pos);
        ReadResult r;
        if (body.empty()) {
            if (!m_key) m_preamble.emplace_back(line);
            continue;
        }
        switch (body[0]) {
        case '[': r = keyLine(body); break;
        case '@':
        case '"':
            if (!m_key) return fail("value without key");
            r = valueLine(body);
            break;
        case '#':
            if (m_key)
                metaLine(line);
            else
                m_preamble.emplace_back(line);
            break;
        case ';': keepUnknown(line); break;
        default: return fail("unrecognized input");
        }
        if (!r.ok) return r;
    }
    takeValues();
    if (m_nulLine || m_readFailed) return finish({});
    if (!m_empty && m_lastByte != '\n')
        return {false, m_lineNo, "the file ends in the middle of a line (truncated?)"};
    while (!m_preamble.empty() && m_preamble.back().empty())
        m_preamble.pop_back();
    return {};
}

void Reader::takeValues()
{
    if (m_values.empty()) return;
    m_key->values = m_values.take(); // the key has none while m_values gathers
}

void Reader::keepUnknown(std::string_view line)
{
    if (!m_key) {
        m_preamble.emplace_back(line);
        return;
    }
    m_key->extras().unknownLines.emplace_back(line);
}

void Reader::metaLine(std::string_view line)
{
    std::size_t pos = 0;
    skipBlanks(line, pos);
    const std::string_view body = line.substr(pos);
    if (body.starts_with("#time=")) {
        const std::string_view hex = body.substr(6);
        uint64_t t = 0;
        bool valid = !hex.empty() && hex.size() <= 16;
        for (std::size_t i = 0; valid && i < hex.size(); ++i) {
            const int d = hexDigit(hex[i]);
            valid = d >= 0;
            t = t * 16 + static_cast<uint64_t>(d);
        }
        if (valid) {
            if (m_keyIsNew) m_key->lastWriteTime = t;
            return;
        }
    } else if (body.starts_with("#class=\"")) {
        std::size_t p = 8;
        std::u16string cls;
        if (unescape(body, p, '"', cls) == Unescaped::Closed) {
            m_key->extras().className = std::move(cls);
            m_classed.push_back(m_key);
            return;
        }
    } else if (body == "#link" || (body.starts_with("#link") && isBlank(body[5]))) {
        m_key->isLink = true;
        return;
    }
    keepUnknown(line);
}

ReadResult Reader::keyLine(std::string_view line)
{
    if (!m_key)
        while (!m_preamble.empty() && m_preamble.back().empty())
            m_preamble.pop_back();
    std::size_t pos = 1;
    UnitText path;
    switch (unescapeText(line, pos, ']', m_narrowPath, m_scratch, path)) {
    case Unescaped::Closed: break;
    case Unescaped::BadUtf8: return fail("invalid UTF-8 in a key name");
    case Unescaped::Wide:
    case Unescaped::Unterminated: return fail("malformed key (no closing ])");
    }
    uint32_t seconds = 0;
    std::size_t numPos = pos;
    const uint64_t time =
        parseNumber(line, numPos, 10, seconds) ? fileTimeFromUnixSeconds(seconds) : KeyStore::now();
    // Components after unescaping; the backslash separates them.
    std::size_t depth = 0;
    RegKey *key = &m_root;
    bool created = false;
    bool tooLong = false; // a name longer than a key can keep
    const auto step = [&](UnitText part) {
        if (tooLong || part.size() > RegKey::kMaxNameUnits) {
            tooLong = true;
            return;
        }
        // The previous section's key at this depth, when this one names it the same.
        if (depth < m_pathDepth && sameUnits(m_chain[depth]->name(), part)) {
            key = m_chain[depth];
        } else {
            bool isNew;
            key = &key->addSubkey(part, isNew, time);
            created = isNew;
            if (m_chain.size() <= depth) m_chain.push_back(nullptr);
            m_chain[depth] = key;
            m_pathDepth = depth + 1;
        }
        ++depth;
    };
    if (path.isNarrow())
        forEachKeyName(
            std::string_view(reinterpret_cast<const char *>(path.narrowUnits()), path.size()),
            [&](std::string_view part) {
                step(UnitText(reinterpret_cast<const uint8_t *>(part.data()), part.size()));
            });
    else
        forEachKeyName(path.wideUnits(), [&](std::u16string_view part) { step(part); });
    if (tooLong) return fail("malformed key (a name too long)");
    // An empty path is the hive root: Wine saves values given to it that way. It
    // exists before the file, so its first such section gives its time.
    if (depth == 0) {
        created = !m_rootSeen;
        m_rootSeen = true;
        if (created) key->lastWriteTime = time;
    }
    m_pathDepth = depth;
    takeValues();
    m_key = key;
    m_keyIsNew = created;
    return {};
}

ReadResult Reader::hexData(std::string_view line, std::size_t pos, LineBytes &data)
{
    // Written in place: each byte takes at least one character of its line, so
    // the rest of the line bounds what it adds.
    std::size_t n = data.size();
    const auto done = [&](ReadResult r) {
        data.resize(n);
        return r;
    };
    data.resize(n + line.size() - std::min(pos, line.size()));
    for (;;) {
        // What Wine writes: two digits and a comma, over and over. Plain pointers,
        // as a byte stored through a member could change any member.
        const char *text = line.data();
        uint8_t *out = data.data();
        for (const std::size_t size = line.size(); pos + 3 <= size; pos += 3) {
            const int byte = hexPair(text[pos], text[pos + 1]);
            if (byte < 0 || text[pos + 2] != ',') break;
            out[n++] = static_cast<uint8_t>(byte);
        }
        skipBlanks(line, pos);
        if (pos >= line.size()) return done({});
        if (line[pos] == '\\') {
            // A continuation only follows a comma; a blank line ends the value.
            skipBlanks(line, ++pos);
            if (pos != line.size())
                return done(fail("malformed value (text after the line continuation)"));
            if (!nextLine(line)) return done(fail("the file ends inside a value (truncated?)"));
            pos = 0;
            data.resize(n + line.size());
            continue;
        }
        int hi = hexDigit(line[pos]);
        if (hi < 0) return done(fail("malformed value (bad hex data)"));
        ++pos;
        if (pos < line.size())
            if (const int lo = hexDigit(line[pos]); lo >= 0) {
                hi = hi * 16 + lo;
                ++pos;
            }
        data[n++] = static_cast<uint8_t>(hi);
        // The common case, a comma right after the digits, needs no blank skipping.
        if (pos < line.size() && line[pos] == ',') {
            ++pos;
            continue;
        }
        skipBlanks(line, pos);
        if (pos >= line.size()) return done({});
        if (line[pos] != ',') return done(fail("malformed value (bad hex data)"));
        ++pos;
    }
}

ReadResult Reader::valueLine(std::string_view line)
{
    std::size_t pos = 1;
    UnitText name;
    if (line[0] != '@') {
        switch (unescapeText(line, pos, '"', m_narrowName, m_name, name)) {
        case Unescaped::Closed: break;
        case Unescaped::BadUtf8: return fail("invalid UTF-8 in a value name");
        case Unescaped::Wide:
        case Unescaped::Unterminated: return fail("malformed value name (no closing quote)");
        }
    }
    skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=')
        return fail("unrecognized input (no = after the value name)");
    skipBlanks(line, ++pos);
    const std::string_view rest = line.substr(pos);
    uint32_t type = 0;
    LineBytes &data = m_data;
    data.clear();
    bool narrowData = false;
    auto quoted = [&](std::size_t at, uint32_t t) -> ReadResult {
        std::size_t p = at;
        UnitText text;
        switch (unescapeText(rest, p, '"', data, m_scratch, text)) {
        case Unescaped::Closed: break;
        case Unescaped::BadUtf8: return fail("invalid UTF-8 in string data");
        case Unescaped::Wide:
        case Unescaped::Unterminated: return fail("malformed value (unterminated string)");
        }
        type = t;
        narrowData = text.isNarrow();
        if (narrowData)
            data.push_back(0); // the NUL the string is stored with
        else
            appendUnitsWithNul(data, m_scratch);
        return {};
    };
    ReadResult r;
    if (rest.starts_with("\"")) {
        r = quoted(1, 1);
    } else if (rest.starts_with("str(2):\"")) {
        r = quoted(8, 2);
    } else if (rest.starts_with("str(7):\"")) {
        r = quoted(8, 7);
    } else if (rest.starts_with("dword:")) {
        std::size_t p = 6;
        uint32_t v = 0;
        parseNumber(rest, p, 16, v);
        type = 4;
        data.resize(4);
        for (int i = 0; i < 4; ++i)
            data[i] = static_cast<uint8_t>(v >> (8 * i));
    } else if (rest.starts_with("hex:")) {
        type = 3;
        r = hexData(line, pos + 4, data);
    } else if (rest.starts_with("hex(")) {
        std::size_t p = 4;
        if (!parseNumber(rest, p, 16, type) || p >= rest.size() || rest[p] != ')' ||
            p + 1 >= rest.size() || rest[p + 1] != ':')
            return fail("malformed value (bad hex type)");
        r = hexData(line, pos + p + 2, data);
    } else {
        return fail("malformed value (unknown data form)");
    }
    if (!r.ok) return r;
    const ValueData stored(data.data(), data.size(), narrowData);
    if (m_values.empty() ? m_key->values.empty() : m_values.sortsLast(name)) {
        m_values.add(name, type, stored);
    } else {
        // A name out of order or a key's second section: the key sorts it in.
        takeValues();
        m_key->setValue(name, type, stored);
    }
    return {};
}

} // namespace

ReadResult readHive(std::string_view text, RegKey &root, Preamble &preamble)
{
    Reader reader(text, root, preamble);
    return reader.run();
}

ReadResult readHive(const TextPieces &pieces, RegKey &root, Preamble &preamble)
{
    Reader reader(pieces, root, preamble);
    return reader.run();
}

PartRead readHivePart(const TextPieces &pieces, RegKey &root, Preamble &preamble, bool fromSection,
                      uint64_t size)
{
    Reader reader(pieces, root, preamble, fromSection, size);
    PartRead part;
    part.result = reader.run();
    part.lines = reader.linesRead();
    part.nulLine = reader.nulLine();
    part.readFailed = reader.readFailed();
    part.rootSeen = reader.rootSeen();
    part.notRegistryFile = reader.notRegistryFile();
    part.classed = reader.classedKeys();
    return part;
}

} // namespace quarnel::platform::wine
