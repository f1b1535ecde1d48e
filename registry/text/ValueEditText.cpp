#include "registry/text/ValueEditText.h"

#include "registry/win32/AsciiText.h"
#include "registry/win32/WideText.h"

#include <algorithm>
#include <cctype>

namespace ValueEditText {

namespace {

std::string notANumber(std::string_view typed, bool hex)
{
    return "\"" + std::string(typed) + "\" is not a " + (hex ? "hexadecimal" : "decimal") +
           " number.";
}

} // namespace

std::size_t numberWidth(DWORD regType)
{
    switch (regType) {
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: return 4;
    case REG_QWORD: return 8;
    default: return 0;
    }
}

Editor editorFor(DWORD regType, std::size_t size)
{
    switch (regType) {
    case REG_SZ:
    case REG_EXPAND_SZ: return Editor::Text;
    case REG_MULTI_SZ: return Editor::MultiText;
    default: break;
    }
    const std::size_t width = numberWidth(regType);
    return width != 0 && size == width ? Editor::Number : Editor::Hex;
}

std::string textOf(const Bytes &stored)
{
    std::u16string units = utf16leUnits(stored);
    units.resize(std::min(units.size(), units.find(u'\0')));
    return BytesFromWide(units);
}

Bytes storedText(std::string_view text)
{
    Bytes bytes;
    appendUtf16le(bytes, WideFromBytes(text));
    appendUtf16le(bytes, std::u16string(1, u'\0'));
    return bytes;
}

std::vector<std::string> linesOf(const Bytes &stored)
{
    std::vector<std::string> lines;
    const std::u16string units = utf16leUnits(stored);
    std::size_t start = 0;
    while (start < units.size()) {
        std::size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos) end = units.size();
        if (end > start)
            lines.push_back(BytesFromWide(std::u16string_view(units).substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

Bytes storedLines(const std::vector<std::string> &lines)
{
    Bytes bytes;
    for (const std::string &line : lines) {
        if (line.empty()) continue;
        appendUtf16le(bytes, WideFromBytes(line));
        appendUtf16le(bytes, std::u16string(1, u'\0'));
    }
    appendUtf16le(bytes, std::u16string(1, u'\0'));
    return bytes;
}

std::string joinLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : "\n") + lines[i];
    return text;
}

uint64_t numberOf(const Bytes &stored, DWORD regType)
{
    const std::size_t width = std::min(numberWidth(regType), stored.size());
    uint64_t number = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t at = regType == REG_DWORD_BIG_ENDIAN ? i : width - 1 - i;
        number = number << 8 | stored[at];
    }
    return number;
}

Bytes storedNumber(uint64_t number, DWORD regType)
{
    const std::size_t width = numberWidth(regType);
    Bytes bytes(width);
    for (std::size_t i = 0; i < width; ++i)
        bytes[regType == REG_DWORD_BIG_ENDIAN ? width - 1 - i : i] =
            static_cast<uint8_t>(number >> (8 * i));
    return bytes;
}

std::string formatNumber(uint64_t number, bool hex)
{
    if (!hex) return std::to_string(number);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    return text;
}

std::optional<uint64_t> parseNumber(std::string_view text, bool hex, std::size_t width,
                                    std::string &error)
{
    error.clear();
    const std::string_view typed = trimmedSpace(text);
    text = typed;
    if (hex && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
    if (text.empty()) {
        error = typed.empty() ? "Please enter a number." : notANumber(typed, hex);
        return std::nullopt;
    }
    const unsigned base = hex ? 16 : 10;
    // Every character is looked at before the size: "-1" is no number, not a large one.
    for (const char c : text)
        if (hexDigit(c) < 0 || unsigned(hexDigit(c)) >= base) {
            error = notANumber(typed, hex);
            return std::nullopt;
        }
    const uint64_t most = width >= 8 ? UINT64_MAX : (uint64_t(1) << (8 * width)) - 1;
    uint64_t number = 0;
    for (const char c : text) {
        const unsigned digit = unsigned(hexDigit(c));
        if (number > (most - digit) / base) {
            error = "The number is larger than " + formatNumber(most, hex) + " (" +
                    (hex ? "hexadecimal" : "decimal") + "), the largest this type holds.";
            return std::nullopt;
        }
        number = number * base + digit;
    }
    return number;
}

std::string otherBase(std::string_view text, bool hex)
{
    std::string error;
    const auto number = parseNumber(text, !hex, 8, error);
    return number ? formatNumber(*number, hex) : std::string();
}

std::string hexPairs(const Bytes &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += i % 16 == 0 ? '\n' : ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

std::optional<Bytes> parseHexPairs(std::string_view text, std::string &error)
{
    error.clear();
    Bytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
            continue;
        }
        const int high = hexDigit(c);
        const int low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (high < 0 || low < 0) {
            error = "Byte " + std::to_string(bytes.size() + 1) +
                    " is not a pair of hexadecimal digits.";
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        i += 2;
    }
    return bytes;
}

std::string offsetColumn(std::size_t size)
{
    std::string text;
    for (std::size_t at = 0; at == 0 || at < size; at += 16) {
        std::string offset = formatNumber(at, true);
        if (!text.empty()) text += '\n';
        text += std::string(offset.size() < 8 ? 8 - offset.size() : 0, '0') + offset;
    }
    return text;
}

std::string printableColumn(const Bytes &bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 16 == 0) text += '\n';
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? char(bytes[i]) : '.';
    }
    return text;
}

} // namespace ValueEditText
