#include "WineRegReader.h"

#include "../RegText.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quarnel::platform::wine {

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
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

void appendCodePoint(std::u16string &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at s[pos]; Wine drops invalid bytes silently, so
// we refuse them rather than load a changed text.
bool decodeUtf8(std::string_view s, std::size_t &pos, std::u16string &out)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len;
    char32_t cp, min;
    if ((b0 & 0xE0) == 0xC0)
        len = 2, cp = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        len = 3, cp = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        len = 4, cp = b0 & 0x07, min = 0x10000;
    else
        return false;
    if (pos + len > s.size())
        return false;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF)
        return false;
    appendCodePoint(out, cp);
    pos += len;
    return true;
}

enum class Unescaped
{
    Closed,
    Unterminated,
    BadUtf8
};

// Reads escaped text from s[pos] up to the unescaped `end` character, which is
// consumed. The escapes are the ones Wine reads: C letters, 1-3 octal digits,
// \x with 1-4 hex digits, and any other escaped character standing for itself.
Unescaped unescape(std::string_view s, std::size_t &pos, char end, std::u16string &out)
{
    out.clear();
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == end) {
            ++pos;
            return Unescaped::Closed;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (!decodeUtf8(s, pos, out))
                return Unescaped::BadUtf8;
            continue;
        }
        if (c != '\\') {
            out.push_back(static_cast<char16_t>(c));
            ++pos;
            continue;
        }
        if (++pos >= s.size())
            return Unescaped::Unterminated;
        const char e = s[pos++];
        switch (e) {
        case 'a': out.push_back(u'\a'); break;
        case 'b': out.push_back(u'\b'); break;
        case 'e': out.push_back(0x1b); break;
        case 'f': out.push_back(u'\f'); break;
        case 'n': out.push_back(u'\n'); break;
        case 'r': out.push_back(u'\r'); break;
        case 't': out.push_back(u'\t'); break;
        case 'v': out.push_back(u'\v'); break;
        case 'x': {
            unsigned v = 0;
            int n = 0;
            for (int d; n < 4 && pos < s.size() && (d = hexDigit(s[pos])) >= 0; ++n, ++pos)
                v = v * 16 + static_cast<unsigned>(d);
            out.push_back(n ? static_cast<char16_t>(v) : u'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = static_cast<unsigned>(e - '0');
                for (int n = 1; n < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++n)
                    v = v * 8 + static_cast<unsigned>(s[pos++] - '0');
                out.push_back(static_cast<char16_t>(v));
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                --pos; // an escaped multi-byte character stands for itself
                if (!decodeUtf8(s, pos, out))
                    return Unescaped::BadUtf8;
            } else {
                out.push_back(static_cast<char16_t>(e));
            }
        }
    }
    return Unescaped::Unterminated;
}

// strtoul as Wine applies it to numbers in the file: leading blanks, a sign, and
// for base 16 an optional 0x; the result wraps to 32 bits. Returns digits read.
int parseNumber(std::string_view s, std::size_t &pos, int base, uint32_t &out)
{
    skipBlanks(s, pos);
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
        negative = s[pos++] == '-';
    if (base == 16 && pos + 2 < s.size() + 1 && pos + 1 < s.size() && s[pos] == '0' &&
        (s[pos + 1] == 'x' || s[pos + 1] == 'X') && pos + 2 < s.size() && hexDigit(s[pos + 2]) >= 0)
        pos += 2;
    uint64_t v = 0;
    bool overflow = false;
    int digits = 0;
    for (; pos < s.size(); ++pos, ++digits) {
        const int d = hexDigit(s[pos]);
        if (d < 0 || d >= base)
            break;
        if (v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
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

void appendUnitsWithNul(std::vector<uint8_t> &data, std::u16string_view units)
{
    data.resize(units.size() * 2 + 2);
    uint8_t *p = data.data();
    for (char16_t u : units) {
        *p++ = static_cast<uint8_t>(u & 0xFF);
        *p++ = static_cast<uint8_t>(u >> 8);
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
    Reader(const TextPieces &pieces, RegKey &root, Preamble &preamble)
        : m_pieces(&pieces), m_root(root), m_preamble(preamble)
    {
    }

    ReadResult run();

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
    ReadResult hexData(std::string_view line, std::size_t pos, std::vector<uint8_t> &data);
    void metaLine(std::string_view line);
    void keepUnknown(std::string_view line);

    std::string_view m_text; // the text read and not yet dropped
    std::size_t m_pos = 0;
    std::size_t m_lineNo = 0;
    // Reading in pieces: the file never sits in memory whole, only the lines
    // being read. Without pieces, m_text is the whole file.
    const TextPieces *m_pieces = nullptr;
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
    bool m_keyIsNew = false; // whether this section created its key (its #time then counts)
    bool m_rootSeen = false; // a section named the root itself
    // The previous section's path, to reuse the walk for the next sibling.
    std::vector<std::u16string> m_path;
    std::vector<RegKey *> m_chain;
    std::size_t m_pathDepth = 0; // entries of m_path/m_chain that are current
    // Reused for every line, so that reading costs one allocation per value.
    std::u16string m_scratch;
    std::u16string m_name;
    std::vector<uint8_t> m_data;
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
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    const std::size_t unread = m_text.size() - m_pos;
    // A line longer than the buffer makes it grow; the rest moves to its front.
    if (unread + kPiece > m_capacity) {
        const std::size_t capacity = std::max(2 * m_capacity, unread + kPiece);
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        std::memcpy(bigger.get(), m_text.data() + m_pos, unread);
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
    if (m_readFailed) return {false, m_lineNo, "the file could not be read"};
    if (m_nulLine) return {false, m_nulLine, "binary data (a NUL byte) in the file"};
    return result;
}

bool Reader::nextLine(std::string_view &line)
{
    const void *nl = nullptr;
    while (m_pos >= m_text.size() ||
           !(nl = std::memchr(m_text.data() + m_pos, '\n', m_text.size() - m_pos)))
        if (!readMore()) break;
    if (m_pos >= m_text.size())
        return false;
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
    if (!nextLine(line) || line != kRegistryHeader) {
        if (m_readFailed) return finish({});
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
            if (!m_key)
                m_preamble.emplace_back(line);
            continue;
        }
        switch (body[0]) {
        case '[': r = keyLine(body); break;
        case '@':
        case '"':
            if (!m_key)
                return fail("value without key");
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
        if (!r.ok)
            return r;
    }
    if (m_nulLine || m_readFailed) return finish({});
    if (!m_empty && m_lastByte != '\n')
        return {false, m_lineNo, "the file ends in the middle of a line (truncated?)"};
    while (!m_preamble.empty() && m_preamble.back().empty())
        m_preamble.pop_back();
    return {};
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
            if (m_keyIsNew)
                m_key->lastWriteTime = t;
            return;
        }
    } else if (body.starts_with("#class=\"")) {
        std::size_t p = 8;
        std::u16string cls;
        if (unescape(body, p, '"', cls) == Unescaped::Closed) {
            m_key->extras().className = std::move(cls);
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
    std::u16string &path = m_scratch;
    switch (unescape(line, pos, ']', path)) {
    case Unescaped::Closed: break;
    case Unescaped::BadUtf8: return fail("invalid UTF-8 in a key name");
    case Unescaped::Unterminated: return fail("malformed key (no closing ])");
    }
    uint32_t seconds = 0;
    std::size_t numPos = pos;
    const uint64_t time = parseNumber(line, numPos, 10, seconds) ? fileTimeFromUnix(seconds)
                                                                 : KeyStore::now();
    // Components after unescaping; the backslash separates them.
    std::size_t depth = 0, start = 0;
    RegKey *key = &m_root;
    bool created = false;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        if (end > start) {
            const std::u16string_view part(path.data() + start, end - start);
            if (depth < m_pathDepth && m_path[depth] == part) {
                key = m_chain[depth];
            } else {
                bool isNew;
                key = &key->addSubkey(part, isNew);
                if (isNew)
                    key->lastWriteTime = time;
                created = isNew;
                if (m_path.size() <= depth) {
                    m_path.emplace_back();
                    m_chain.push_back(nullptr);
                }
                m_path[depth].assign(part);
                m_chain[depth] = key;
                m_pathDepth = depth + 1;
            }
            ++depth;
        }
        start = end + 1;
    }
    // An empty path is the hive root: Wine saves values given to it that way. It
    // exists before the file, so its first such section gives its time.
    if (depth == 0) {
        created = !m_rootSeen;
        m_rootSeen = true;
        if (created) key->lastWriteTime = time;
    }
    m_pathDepth = depth;
    m_key = key;
    m_keyIsNew = created;
    return {};
}

ReadResult Reader::hexData(std::string_view line, std::size_t pos, std::vector<uint8_t> &data)
{
    for (;;) {
        skipBlanks(line, pos);
        if (pos >= line.size())
            return {};
        if (line[pos] == '\\') {
            // A continuation only follows a comma; a blank line ends the value.
            skipBlanks(line, ++pos);
            if (pos != line.size())
                return fail("malformed value (text after the line continuation)");
            if (!nextLine(line))
                return fail("the file ends inside a value (truncated?)");
            pos = 0;
            continue;
        }
        int hi = hexDigit(line[pos]);
        if (hi < 0)
            return fail("malformed value (bad hex data)");
        ++pos;
        if (pos < line.size() && hexDigit(line[pos]) >= 0)
            hi = hi * 16 + hexDigit(line[pos++]);
        data.push_back(static_cast<uint8_t>(hi));
        skipBlanks(line, pos);
        if (pos >= line.size())
            return {};
        if (line[pos] != ',')
            return fail("malformed value (bad hex data)");
        ++pos;
    }
}

ReadResult Reader::valueLine(std::string_view line)
{
    std::size_t pos = 0;
    std::u16string &name = m_name;
    name.clear();
    if (line[0] == '@') {
        pos = 1;
    } else {
        pos = 1;
        switch (unescape(line, pos, '"', name)) {
        case Unescaped::Closed: break;
        case Unescaped::BadUtf8: return fail("invalid UTF-8 in a value name");
        case Unescaped::Unterminated: return fail("malformed value name (no closing quote)");
        }
    }
    skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=')
        return fail("unrecognized input (no = after the value name)");
    skipBlanks(line, ++pos);
    const std::string_view rest = line.substr(pos);
    uint32_t type = 0;
    std::vector<uint8_t> &data = m_data;
    data.clear();
    auto quoted = [&](std::size_t at, uint32_t t) -> ReadResult {
        std::size_t p = at;
        switch (unescape(rest, p, '"', m_scratch)) {
        case Unescaped::Closed: break;
        case Unescaped::BadUtf8: return fail("invalid UTF-8 in string data");
        case Unescaped::Unterminated: return fail("malformed value (unterminated string)");
        }
        type = t;
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
        data.assign({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                     static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
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
    if (!r.ok)
        return r;
    m_key->appendValue(RegValue(name, type, data));
    return {};
}

} // namespace

uint64_t fileTimeFromUnix(uint64_t seconds)
{
    return seconds * 10000000ULL + kUnixEpochAsFileTime;
}

uint64_t unixFromFileTime(uint64_t fileTime)
{
    return fileTime < kUnixEpochAsFileTime ? 0 : (fileTime - kUnixEpochAsFileTime) / 10000000ULL;
}

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

} // namespace quarnel::platform::wine
