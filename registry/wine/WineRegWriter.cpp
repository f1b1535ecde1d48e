#include "registry/wine/WineRegWriter.h"

#include "registry/win32/AsciiText.h"
#include "registry/win32/FileTime.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quarnel::platform::wine {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// An output buffer whose appends inline to a store and a bounds check; with a
// sink, full chunks go out as they are done instead of growing one big string.
class TextOut
{
public:
    explicit TextOut(std::size_t capacity, const HiveSink *sink = nullptr)
        : m_buf(new char[capacity]), m_cap(capacity), m_sink(sink)
    {
    }
    void push_back(char c)
    {
        if (m_len == m_cap) grow(1);
        m_buf[m_len++] = c;
    }
    TextOut &operator+=(std::string_view s)
    {
        if (m_cap - m_len < s.size()) grow(s.size());
        std::memcpy(m_buf.get() + m_len, s.data(), s.size());
        m_len += s.size();
        return *this;
    }
    std::size_t size() const { return m_flushed + m_len; }
    // Hands what is buffered to the sink once a chunk is full.
    void maybeFlush()
    {
        if (m_sink && m_len >= kChunk) flush();
    }
    void flush()
    {
        if (m_sink && m_len) {
            (*m_sink)(std::string_view(m_buf.get(), m_len));
            m_flushed += m_len;
            m_len = 0;
        }
    }
    std::string_view view() const { return {m_buf.get(), m_len}; }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    void grow(std::size_t more)
    {
        const std::size_t cap = std::max(m_cap * 2, m_len + more);
        std::unique_ptr<char[]> bigger(new char[cap]);
        std::memcpy(bigger.get(), m_buf.get(), m_len);
        m_buf = std::move(bigger);
        m_cap = cap;
    }

    std::unique_ptr<char[]> m_buf;
    std::size_t m_cap;
    std::size_t m_len = 0;
    std::size_t m_flushed = 0;
    const HiveSink *m_sink;
};

// Escapes text as Wine writes it: 7-bit ASCII only; octal below 0x20 and \x
// above 0x7f, padded where the next character would otherwise be read as a
// further digit of the escape.
template <typename Out, typename UnitAt>
void appendEscapedUnits(Out &out, std::size_t count, UnitAt unitAt, bool keyPath)
{
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = unitAt(i);
        const char16_t next = i + 1 < count ? unitAt(i + 1) : 0;
        if (c > 0x20 && c < 0x7f && c != u'\\' && c != u'"' && c != u'[' && c != u']') {
            out.push_back(static_cast<char>(c)); // the common case first
            continue;
        }
        if (c >= 0x20 && c <= 0x7f) {
            if (c == u'\\' || (keyPath ? (c == u'[' || c == u']') : c == u'"')) out.push_back('\\');
            out.push_back(static_cast<char>(c));
            continue;
        }
        out.push_back('\\');
        switch (c) {
        case 0x07: out.push_back('a'); continue;
        case 0x08: out.push_back('b'); continue;
        case 0x09: out.push_back('t'); continue;
        case 0x0a: out.push_back('n'); continue;
        case 0x0b: out.push_back('v'); continue;
        case 0x0c: out.push_back('f'); continue;
        case 0x0d: out.push_back('r'); continue;
        case 0x1b: out.push_back('e'); continue;
        default: break;
        }
        if (c < 0x20) {
            const bool pad = next >= u'0' && next <= u'7';
            if (pad) out.push_back('0'); // below 0x20 the first of three octal digits is 0
            if (pad || c >= 010) out.push_back(static_cast<char>('0' + ((c >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (c & 7)));
            continue;
        }
        out.push_back('x');
        const bool pad = hexDigit(next) >= 0;
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = (c >> shift) & 0xF;
            started = started || digit || shift == 0 || pad;
            if (started) out.push_back(kHex[digit]);
        }
    }
}

template <typename Out> void appendEscaped(Out &out, UnitText text, bool keyPath)
{
    if (const uint8_t *narrow = text.narrowUnits())
        appendEscapedUnits(
            out, text.size(), [narrow](std::size_t i) { return char16_t(narrow[i]); }, keyPath);
    else
        appendEscapedUnits(
            out, text.size(), [wide = text.wideUnits()](std::size_t i) { return wide[i]; },
            keyPath);
}

void appendHexNumber(TextOut &out, uint64_t v, int minDigits = 1)
{
    char buf[16];
    int n = 0;
    do {
        buf[n++] = kHex[v & 0xF];
        v >>= 4;
    } while (v || n < minDigits);
    while (n)
        out.push_back(buf[--n]);
}

void appendDecimal(TextOut &out, uint64_t v)
{
    char buf[20];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        out.push_back(buf[--n]);
}

bool isStringShaped(const ValueRef &v)
{
    const auto data = v.data();
    const std::size_t n = data.size();
    return isStringType(v.type) && n >= 2 && n % 2 == 0 && data[n - 1] == 0 && data[n - 2] == 0;
}

void appendValue(TextOut &out, const ValueRef &v)
{
    const std::size_t lineStart = out.size();
    const auto data = v.data();
    if (v.name().empty()) {
        out.push_back('@');
    } else {
        out.push_back('"');
        appendEscaped(out, v.name(), false);
        out.push_back('"');
    }
    out.push_back('=');
    if (isStringShaped(v)) {
        if (v.type == 2)
            out += "str(2):";
        else if (v.type == 7)
            out += "str(7):";
        out.push_back('"');
        const UnitText units = data.units();
        appendEscaped(out, units.first(units.size() - 1), false); // without its NUL
        out += "\"\n";
        return;
    }
    if (v.type == 4 && data.size() == 4) {
        const uint32_t d = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                           (static_cast<uint32_t>(data[2]) << 16) |
                           (static_cast<uint32_t>(data[3]) << 24);
        out += "dword:";
        appendHexNumber(out, d, 8);
        out.push_back('\n');
        return;
    }
    if (v.type == 3) {
        out += "hex:";
    } else {
        out += "hex(";
        appendHexNumber(out, v.type);
        out += "):";
    }
    // Wine breaks the line after a comma once it is longer than 76 characters.
    std::size_t column = out.size() - lineStart;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(kHex[data[i] >> 4]);
        out.push_back(kHex[data[i] & 0xF]);
        column += 2;
        if (i + 1 < data.size()) {
            out.push_back(',');
            if (++column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    out.push_back('\n');
}

void appendSection(TextOut &out, const RegKey &key, std::string_view path)
{
    out += "\n[";
    out += path;
    out += "] ";
    // Wine's files have no time before 1970.
    appendDecimal(out, uint64_t(std::max<int64_t>(0, unixSecondsFromFileTime(key.lastWriteTime))));
    out += "\n#time=";
    appendHexNumber(out, key.lastWriteTime);
    out.push_back('\n');
    if (!key.className().empty()) {
        out += "#class=\"";
        appendEscaped(out, key.className(), false);
        out += "\"\n";
    }
    if (key.isLink) out += "#link\n";
    if (key.extra)
        for (const std::string &line : key.extra->unknownLines) {
            out += line;
            out.push_back('\n');
        }
    for (const ValueRef v : key.values)
        appendValue(out, v);
}

// What only the key's own section can carry, unlike its existence, which its
// subkeys' paths imply.
bool hasOwnContent(const RegKey &key)
{
    return !key.values.empty() || key.isLink ||
           (key.extra && (!key.extra->className.empty() || !key.extra->unknownLines.empty()));
}

} // namespace

bool isWritten(const RegKey &key)
{
    if (key.isVolatile) return false;
    if (hasOwnContent(key)) return true;
    // Wine leaves out a key whose children are all volatile, and so loses it;
    // we keep it as the leaf it will be after the restart.
    for (const auto &child : key.subkeys)
        if (!child->isVolatile) return false;
    return true;
}

Preamble standardPreamble(std::u16string_view rootPath)
{
    std::string line = ";; All keys relative to ";
    appendEscaped(line, rootPath, true);
    return {line, "", "#arch=win64"};
}

std::string writeHive(const RegKey &root, const Preamble &preamble, std::size_t sizeHint)
{
    std::string text;
    text.reserve(sizeHint + sizeHint / 8 + 4096);
    const HiveSink sink = [&text](std::string_view chunk) { text += chunk; };
    writeHive(root, preamble, sink);
    return text;
}

void writeHive(const RegKey &root, const Preamble &preamble, const HiveSink &sink)
{
    TextOut out(2 << 20, &sink);
    out += "WINE REGISTRY Version 2\n";
    for (const std::string &line : preamble) {
        out += line;
        out.push_back('\n');
    }
    // Depth first without recursion: key paths may nest deeper than the stack.
    struct Frame
    {
        const RegKey *key;
        std::size_t next;
        std::size_t pathLength;
    };
    // Wine keeps values given to the hive root itself in a section with an empty path.
    if (!root.isVolatile && hasOwnContent(root)) appendSection(out, root, "");
    std::vector<Frame> stack{{&root, 0, 0}};
    std::string path;
    while (!stack.empty()) {
        Frame &top = stack.back();
        if (top.next >= top.key->subkeys.size()) {
            stack.pop_back();
            continue;
        }
        const RegKey &child = *top.key->subkeys[top.next++];
        if (child.isVolatile) continue;
        path.resize(top.pathLength);
        if (!path.empty()) path += "\\\\";
        appendEscaped(path, child.name(), true);
        if (isWritten(child)) {
            appendSection(out, child, path);
            out.maybeFlush();
        }
        stack.push_back({&child, 0, path.size()});
    }
    out.flush();
}

} // namespace quarnel::platform::wine
