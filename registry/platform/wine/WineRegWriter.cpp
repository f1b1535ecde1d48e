#include "WineRegWriter.h"

#include <cstdio>

namespace quarnel::platform::wine {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Escapes text as Wine writes it: 7-bit ASCII only; octal below 0x20 and \x
// above 0x7f, padded where the next character would otherwise be read as a
// further digit of the escape.
void appendEscaped(std::string &out, std::u16string_view text, bool keyPath)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const char16_t next = i + 1 < text.size() ? text[i + 1] : 0;
        if (c >= 0x20 && c <= 0x7f) {
            if (c == u'\\' || (keyPath ? (c == u'[' || c == u']') : c == u'"'))
                out.push_back('\\');
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
            if (pad)
                out.push_back('0'); // below 0x20 the first of three octal digits is 0
            if (pad || c >= 010)
                out.push_back(static_cast<char>('0' + ((c >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (c & 7)));
            continue;
        }
        out.push_back('x');
        const bool pad = isHexDigit(next);
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = (c >> shift) & 0xF;
            started = started || digit || shift == 0 || pad;
            if (started)
                out.push_back(kHex[digit]);
        }
    }
}

void appendHexNumber(std::string &out, uint64_t v)
{
    char buf[20];
    const int n = std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
    out.append(buf, static_cast<std::size_t>(n));
}

void appendDecimal(std::string &out, uint64_t v)
{
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
    out.append(buf, static_cast<std::size_t>(n));
}

bool isStringShaped(const RegValue &v)
{
    const std::size_t n = v.data.size();
    return (v.type == 1 || v.type == 2 || v.type == 7) && n >= 2 && n % 2 == 0 &&
           v.data[n - 1] == 0 && v.data[n - 2] == 0;
}

void appendValue(std::string &out, const RegValue &v)
{
    const std::size_t lineStart = out.size();
    if (v.name.empty()) {
        out.push_back('@');
    } else {
        out.push_back('"');
        appendEscaped(out, v.name, false);
        out.push_back('"');
    }
    out.push_back('=');
    if (isStringShaped(v)) {
        if (v.type == 2)
            out += "str(2):";
        else if (v.type == 7)
            out += "str(7):";
        std::u16string units((v.data.size() - 2) / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(v.data[2 * i] | (v.data[2 * i + 1] << 8));
        out.push_back('"');
        appendEscaped(out, units, false);
        out += "\"\n";
        return;
    }
    if (v.type == 4 && v.data.size() == 4) {
        char buf[16];
        const uint32_t d = static_cast<uint32_t>(v.data[0]) | (static_cast<uint32_t>(v.data[1]) << 8) |
                           (static_cast<uint32_t>(v.data[2]) << 16) |
                           (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x\n", d);
        out += buf;
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
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        out.push_back(kHex[v.data[i] >> 4]);
        out.push_back(kHex[v.data[i] & 0xF]);
        column += 2;
        if (i + 1 < v.data.size()) {
            out.push_back(',');
            if (++column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    out.push_back('\n');
}

void appendSection(std::string &out, const RegKey &key, std::string_view path)
{
    out += "\n[";
    out += path;
    out += "] ";
    appendDecimal(out, unixFromFileTime(key.lastWriteTime));
    out += "\n#time=";
    appendHexNumber(out, key.lastWriteTime);
    out.push_back('\n');
    if (!key.className.empty()) {
        out += "#class=\"";
        appendEscaped(out, key.className, false);
        out += "\"\n";
    }
    if (key.isLink)
        out += "#link\n";
    if (key.unknownLines)
        for (const std::string &line : *key.unknownLines) {
            out += line;
            out.push_back('\n');
        }
    for (const RegValue &v : key.values)
        appendValue(out, v);
}

} // namespace

bool isWritten(const RegKey &key)
{
    if (key.isVolatile)
        return false;
    if (!key.values.empty() || !key.className.empty() || key.isLink || key.unknownLines)
        return true;
    // Wine leaves out a key whose children are all volatile, and so loses it;
    // we keep it as the leaf it will be after the restart.
    for (const auto &child : key.subkeys)
        if (!child->isVolatile)
            return false;
    return true;
}

Preamble standardPreamble(std::u16string_view rootPath)
{
    std::string line = ";; All keys relative to ";
    appendEscaped(line, rootPath, true);
    return {line, "", "#arch=win64"};
}

std::string writeHive(const RegKey &root, const Preamble &preamble)
{
    std::string out;
    out.reserve(1 << 20);
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
    std::vector<Frame> stack{{&root, 0, 0}};
    std::string path;
    while (!stack.empty()) {
        Frame &top = stack.back();
        if (top.next >= top.key->subkeys.size()) {
            stack.pop_back();
            continue;
        }
        const RegKey &child = *top.key->subkeys[top.next++];
        if (child.isVolatile)
            continue;
        path.resize(top.pathLength);
        if (!path.empty())
            path += "\\\\";
        appendEscaped(path, child.name, true);
        if (isWritten(child))
            appendSection(out, child, path);
        stack.push_back({&child, 0, path.size()});
    }
    return out;
}

} // namespace quarnel::platform::wine
