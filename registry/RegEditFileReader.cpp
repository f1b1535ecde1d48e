// Reading the registry editor's format: what RegEditFile::write() writes, and
// the usual variations of the editor's own exports (hex data wrapped anywhere
// after a comma, spaces around "=", comments, UTF-8 instead of UTF-16), and our
// own lines in comments (RegEditFile.h).
#include "registry/RegEditFile.h"

#include "registry/WideText.h"

#include <optional>

namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kOwnLine = u";Quarnel: ";

std::u16string decode(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string units((bytes.size() - 2) / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                             static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return units;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return WideFromBytes(bytes);
}

std::vector<std::u16string_view> splitLines(std::u16string_view text)
{
    std::vector<std::u16string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    return lines;
}

bool isSpace(char16_t u)
{
    return u == u' ' || u == u'\t';
}

std::u16string_view trimmed(std::u16string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

int hexDigit(char16_t u)
{
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

std::vector<uint8_t> bytesOf(std::u16string_view units)
{
    std::vector<uint8_t> data;
    data.reserve(units.size() * 2);
    for (char16_t u : units) {
        data.push_back(static_cast<uint8_t>(u & 0xFF));
        data.push_back(static_cast<uint8_t>(u >> 8));
    }
    return data;
}

class Parser
{
public:
    Parser(std::vector<std::u16string_view> lines, RegEditFile &file)
        : m_lines(std::move(lines)), m_file(file)
    {
    }

    RegEditParseResult run()
    {
        std::size_t first = 0;
        while (first < m_lines.size() && trimmed(m_lines[first]).empty())
            ++first;
        if (first == m_lines.size() || trimmed(m_lines[first]) != kHeader)
            return fail(first, "not a registry editor file (Version 5.00)");
        for (m_at = first + 1; m_at < m_lines.size(); ++m_at) {
            std::u16string_view line = trimmed(m_lines[m_at]);
            if (line.starts_with(kOwnLine)) {
                line.remove_prefix(kOwnLine.size());
                const bool ok = line.starts_with(u"@") || line.starts_with(u"\"")
                                    ? value(line)
                                    : ownSection(line);
                if (!ok) return m_result;
                continue;
            }
            if (line.empty() || line.front() == u';') continue;
            const bool ok = line.front() == u'[' ? section(line)
                            : line.front() == u'@' || line.front() == u'"'
                                ? value(line)
                                : error("unrecognized line");
            if (!ok) return m_result;
        }
        return m_result;
    }

private:
    RegEditParseResult fail(std::size_t index, const char *message)
    {
        m_result = {false, index + 1, message};
        return m_result;
    }
    bool error(const char *message)
    {
        fail(m_at, message);
        return false;
    }

    bool section(std::u16string_view line)
    {
        const std::size_t close = line.rfind(u']');
        if (close == std::u16string_view::npos || close < 2) return error("malformed key line");
        std::u16string_view inner = line.substr(1, close - 1);
        RegEditSection s;
        if (inner.front() == u'-') {
            s.removal = true;
            inner.remove_prefix(1);
        }
        if (inner.empty()) return error("malformed key line");
        s.path = BytesFromWide(inner);
        m_file.sections.push_back(std::move(s));
        return true;
    }

    // key "path", delete "path" or link "path".
    bool ownSection(std::u16string_view line)
    {
        RegEditSection s;
        std::size_t pos = line.find(u' ');
        const std::u16string_view kind = line.substr(0, pos);
        s.removal = kind == u"delete";
        s.link = kind == u"link";
        if (pos == std::u16string_view::npos || (kind != u"key" && !s.removal && !s.link))
            return error("unrecognized line");
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;
        if (pos == line.size() || line[pos] != u'"') return error("malformed key line");
        const auto path = quoted(line, pos);
        if (!path || path->empty() || !restIsEmpty(line.substr(pos)))
            return error("malformed key line");
        s.path = BytesFromWide(*path);
        m_file.sections.push_back(std::move(s));
        return true;
    }

    // Reads a quoted text at `pos` (on its opening quote); leaves `pos` after it.
    std::optional<std::u16string> quoted(std::u16string_view line, std::size_t &pos)
    {
        std::u16string text;
        for (++pos; pos < line.size(); ++pos) {
            char16_t u = line[pos];
            if (u == u'"') {
                ++pos;
                return text;
            }
            if (u == u'\\' && pos + 1 < line.size()) {
                u = line[++pos];
                u = u == u'n' ? u'\n' : u == u'r' ? u'\r' : u == u'0' ? u'\0' : u;
            }
            text.push_back(u);
        }
        return std::nullopt;
    }

    static bool restIsEmpty(std::u16string_view rest)
    {
        rest = trimmed(rest);
        return rest.empty() || rest.front() == u';';
    }

    bool value(std::u16string_view line)
    {
        if (m_file.sections.empty()) return error("value before the first key");
        RegEditValue v;
        std::size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else {
            const auto name = quoted(line, pos);
            if (!name) return error("unterminated name");
            v.name = BytesFromWide(*name);
        }
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;
        if (pos == line.size() || line[pos] != u'=') return error("no \"=\" after the name");
        ++pos;
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;
        const std::u16string_view data = line.substr(pos);
        bool ok;
        if (data.starts_with(u"-")) {
            v.removal = true;
            ok = restIsEmpty(data.substr(1)) || error("text after \"-\"");
        } else if (data.starts_with(u"\"")) {
            std::size_t at = 0;
            const auto text = quoted(data, at);
            if (!text) return error("unterminated string");
            v.type = 1;
            v.data = bytesOf(*text + u'\0');
            ok = restIsEmpty(data.substr(at)) || error("text after the string");
        } else if (data.starts_with(u"dword:")) {
            ok = dword(data.substr(6), v);
        } else {
            ok = hex(data, v);
        }
        if (ok) m_file.sections.back().values.push_back(std::move(v));
        return ok;
    }

    bool dword(std::u16string_view digits, RegEditValue &v)
    {
        digits = trimmed(digits);
        if (digits.empty() || digits.size() > 8) return error("malformed dword");
        uint32_t number = 0;
        for (char16_t u : digits) {
            const int d = hexDigit(u);
            if (d < 0) return error("malformed dword");
            number = number << 4 | static_cast<uint32_t>(d);
        }
        v.type = 4;
        v.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }

    bool hex(std::u16string_view data, RegEditValue &v)
    {
        if (data.starts_with(u"hex:")) {
            v.type = 3;
            data.remove_prefix(4);
        } else if (data.starts_with(u"hex(")) {
            const std::size_t close = data.find(u"):");
            if (close == std::u16string_view::npos || close < 5 || close > 12)
                return error("malformed value type");
            uint32_t type = 0;
            for (char16_t u : data.substr(4, close - 4)) {
                const int d = hexDigit(u);
                if (d < 0) return error("malformed value type");
                type = type << 4 | static_cast<uint32_t>(d);
            }
            v.type = type;
            data.remove_prefix(close + 2);
        } else {
            return error("unrecognized value data");
        }
        // Bytes separated by commas; a line ending in a backslash goes on in the next.
        for (;;) {
            data = trimmed(data);
            const bool goesOn = !data.empty() && data.back() == u'\\';
            if (goesOn) data.remove_suffix(1);
            std::size_t pos = 0;
            while (pos < data.size()) {
                while (pos < data.size() && isSpace(data[pos]))
                    ++pos;
                if (pos == data.size()) break;
                const int high = hexDigit(data[pos]);
                if (high < 0) return error("malformed hex data");
                int byte = high;
                if (++pos < data.size() && hexDigit(data[pos]) >= 0)
                    byte = byte << 4 | hexDigit(data[pos++]);
                v.data.push_back(static_cast<uint8_t>(byte));
                while (pos < data.size() && isSpace(data[pos]))
                    ++pos;
                if (pos < data.size() && data[pos++] != u',') return error("malformed hex data");
            }
            if (!goesOn) return true;
            if (++m_at == m_lines.size()) return error("the file ends inside hex data");
            data = m_lines[m_at];
        }
    }

    std::vector<std::u16string_view> m_lines;
    RegEditFile &m_file;
    std::size_t m_at = 0;
    RegEditParseResult m_result;
};

} // namespace

RegEditParseResult RegEditFile::parse(std::string_view bytes, RegEditFile &file)
{
    file.sections.clear();
    const std::u16string text = decode(bytes);
    return Parser(splitLines(text), file).run();
}
