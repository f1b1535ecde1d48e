// Reading the registry editor's format: what RegEditFile::write() writes, the
// usual variations of the editor's own exports (hex data wrapped anywhere after
// a comma, spaces around "=", comments, UTF-8 instead of UTF-16), the older
// REGEDIT4 files, and our own lines in comments (RegEditFile.h). One pass finds
// every fault: a faulty line is noted and the reading goes on after it.
#include "registry/regfile/RegEditFile.h"

#include "registry/regfile/RegEditText.h"
#include "registry/win32/AsciiText.h"
#include "registry/win32/WideText.h"

#include <optional>

namespace {

using quarnel::RegEditText;

constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kOwnLine = u";Quarnel: ";

bool isSpace(char16_t u)
{
    return u == u' ' || u == u'\t';
}

// The units as UTF-16LE bytes, with a NUL unit after them when asked.
std::vector<uint8_t> bytesOf(std::u16string_view units, bool withNul = false)
{
    std::vector<uint8_t> data = utf16leBytes<std::vector<uint8_t>>(units);
    if (withNul) data.resize(data.size() + 2, 0);
    return data;
}

class Parser
{
public:
    Parser(std::string_view bytes, const std::function<void(RegEditSection &&)> &each,
           const RegEditReadOptions &options)
        : m_text(bytes, options.codePage ? options.codePage : quarnel::userAnsiCodePage()),
          m_each(each), m_options(options)
    {
    }

    RegEditParseResult run()
    {
        // A line that does not decode is no header: that fault is the one to tell.
        bool found = m_text.next(m_line, m_lineFault);
        while (found && m_lineFault.empty() && trimmed(m_line).empty())
            found = m_text.next(m_line, m_lineFault);
        const std::u16string_view header = found ? trimmed(m_line) : std::u16string_view();
        m_old = header == kHeader4;
        if (!m_lineFault.empty() || (!m_old && header != kHeader5)) {
            fault("not a registry editor file (\"Windows Registry Editor Version 5.00\" or "
                  "\"REGEDIT4\" expected)");
            return m_result;
        }
        while (nextLine())
            readLine();
        handOver();
        return m_result;
    }

private:
    bool nextLine()
    {
        if (!m_text.next(m_line, m_lineFault)) return false;
        if (!m_lineFault.empty()) fault(m_lineFault);
        return true;
    }

    void fault(std::string reason)
    {
        if (m_result.ok) {
            m_result.ok = false;
            m_result.line = m_text.lineNumber();
            m_result.message = reason;
        }
        ++m_result.faultCount;
        if (m_result.faults.size() < RegEditParseResult::kListedFaults)
            m_result.faults.push_back({m_text.lineNumber(), std::move(reason)});
    }
    bool error(const char *reason)
    {
        fault(reason);
        return false;
    }

    void handOver()
    {
        if (m_section) {
            m_each(std::move(*m_section));
            m_section.reset();
        }
        if (m_options.progress) m_options.progress(m_text.bytesRead(), m_text.size());
    }

    // A key line that does not read leaves its values nowhere, and they are not
    // faults of their own for want of a key.
    void deadSection()
    {
        handOver();
        m_dead = true;
    }

    void readLine()
    {
        std::u16string_view line = trimmed(m_line);
        if (!m_lineFault.empty()) {
            if (line.starts_with(u"[")) deadSection();
            return;
        }
        if (line.starts_with(kOwnLine)) {
            line.remove_prefix(kOwnLine.size());
            if (line.starts_with(u"@") || line.starts_with(u"\""))
                value(line);
            else
                ownSection(line);
            return;
        }
        if (line.empty() || line.front() == u';') return;
        if (line.front() == u'[')
            section(line);
        else if (line.front() == u'@' || line.front() == u'"')
            value(line);
        else
            error("unrecognized line");
    }

    void startSection(RegEditSection s)
    {
        handOver();
        m_dead = false;
        if (s.path.find('\0') != std::string::npos) {
            // The calls take names up to a NUL: the values would land in a key
            // cut short there.
            fault("a key name holds a NUL character");
        } else if (m_options.checkSection) {
            if (std::string reason = m_options.checkSection(s); !reason.empty())
                fault(std::move(reason));
        }
        m_section = std::move(s);
    }

    void section(std::u16string_view line)
    {
        const std::size_t close = line.rfind(u']');
        if (close == std::u16string_view::npos || close < 2) {
            deadSection();
            error("malformed key line");
            return;
        }
        std::u16string_view inner = line.substr(1, close - 1);
        RegEditSection s;
        if (inner.front() == u'-') {
            s.removal = true;
            inner.remove_prefix(1);
        }
        if (inner.empty()) {
            deadSection();
            error("malformed key line");
            return;
        }
        s.path = BytesFromWide(inner);
        startSection(std::move(s));
    }

    // key "path", delete "path" or link "path".
    void ownSection(std::u16string_view line)
    {
        RegEditSection s;
        std::size_t pos = line.find(u' ');
        const std::u16string_view kind = line.substr(0, pos);
        s.removal = kind == u"delete";
        s.link = kind == u"link";
        const char *bad = nullptr;
        std::optional<std::u16string> path;
        if (pos == std::u16string_view::npos || (kind != u"key" && !s.removal && !s.link)) {
            bad = "unrecognized line";
        } else {
            while (pos < line.size() && isSpace(line[pos]))
                ++pos;
            if (pos < line.size() && line[pos] == u'"') path = quoted(line, pos);
            if (!path || path->empty() || !restIsEmpty(line.substr(pos)))
                bad = "malformed key line";
        }
        if (bad) {
            deadSection();
            error(bad);
            return;
        }
        s.path = BytesFromWide(*path);
        startSection(std::move(s));
    }

    // Reads a quoted text at `pos` (on its opening quote); leaves `pos` after it.
    static std::optional<std::u16string> quoted(std::u16string_view line, std::size_t &pos)
    {
        // Most texts hold no escape: taken whole.
        const std::size_t plainEnd = line.find_first_of(u"\"\\", pos + 1);
        if (plainEnd != std::u16string_view::npos && line[plainEnd] == u'"') {
            std::u16string text(line.substr(pos + 1, plainEnd - pos - 1));
            pos = plainEnd + 1;
            return text;
        }
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

    void value(std::u16string_view line)
    {
        if (!m_section && !m_dead) {
            error("value before the first key");
            return;
        }
        RegEditValue v;
        std::size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else {
            const auto name = quoted(line, pos);
            if (!name) {
                error("unterminated name");
                return;
            }
            if (name->find(u'\0') != std::u16string::npos) {
                error("a value name holds a NUL character");
                return;
            }
            v.name = BytesFromWide(*name);
        }
        while (pos < line.size() && isSpace(line[pos]))
            ++pos;
        if (pos == line.size() || line[pos] != u'=') {
            error("no \"=\" after the name");
            return;
        }
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
            if (!text) {
                error("unterminated string");
                return;
            }
            v.type = 1;
            v.data = bytesOf(*text, true);
            ok = restIsEmpty(data.substr(at)) || error("text after the string");
        } else if (data.starts_with(u"dword:")) {
            ok = dword(data.substr(6), v);
        } else {
            ok = hex(data, v) && (!m_old || widen(v));
        }
        if (ok && m_section && !m_dead) m_section->values.push_back(std::move(v));
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

    // After a fault inside hex data the rest of the value's lines are passed over:
    // one fault a value (`reason` null: the line's own, noted already).
    bool hexFault(const char *reason, bool goesOn)
    {
        if (reason) fault(reason);
        while (goesOn && nextLine()) {
            const std::u16string_view rest = trimmed(m_line);
            goesOn = !rest.empty() && rest.back() == u'\\';
        }
        return false;
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
        v.data.reserve(data.size() / 3 + 1);
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
                if (high < 0) return hexFault("malformed hex data", goesOn);
                int byte = high;
                if (++pos < data.size() && hexDigit(data[pos]) >= 0)
                    byte = byte << 4 | hexDigit(data[pos++]);
                v.data.push_back(static_cast<uint8_t>(byte));
                while (pos < data.size() && isSpace(data[pos]))
                    ++pos;
                if (pos < data.size() && data[pos++] != u',')
                    return hexFault("malformed hex data", goesOn);
            }
            if (!goesOn) return true;
            if (!nextLine()) return error("the file ends inside hex data");
            data = m_line;
            if (!m_lineFault.empty()) {
                data = trimmed(data);
                return hexFault(nullptr, !data.empty() && data.back() == u'\\');
            }
        }
    }

    // REGEDIT4 keeps string data in hex as 8-bit text in the ANSI code page; the
    // registry stores it as UTF-16.
    bool widen(RegEditValue &v)
    {
        if (v.type != 1 && v.type != 2 && v.type != 7) return true;
        std::u16string units;
        std::string reason = m_text.decodeAnsiText(
            std::string_view(reinterpret_cast<const char *>(v.data.data()), v.data.size()), units);
        if (!reason.empty()) {
            fault(std::move(reason));
            return false;
        }
        v.data = bytesOf(units);
        return true;
    }

    RegEditText m_text;
    const std::function<void(RegEditSection &&)> &m_each;
    const RegEditReadOptions &m_options;
    std::u16string m_line;
    std::string m_lineFault;
    bool m_old = false;  // REGEDIT4
    bool m_dead = false; // after a key line that did not read
    std::optional<RegEditSection> m_section;
    RegEditParseResult m_result;
};

} // namespace

RegEditParseResult RegEditFile::read(std::string_view bytes,
                                     const std::function<void(RegEditSection &&)> &each,
                                     const RegEditReadOptions &options)
{
    return Parser(bytes, each, options).run();
}

RegEditParseResult RegEditFile::parse(std::string_view bytes, RegEditFile &file,
                                      const RegEditReadOptions &options)
{
    file.sections.clear();
    return read(
        bytes, [&](RegEditSection &&section) { file.sections.push_back(std::move(section)); },
        options);
}
