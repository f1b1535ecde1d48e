#include "registry/text/CellText.h"

#include "registry/win32/AsciiText.h"

namespace {

enum class Kept
{
    Nothing,    // tsv
    Backslash,  // one line for the eye
    LineBreaks, // several lines for the eye
};

bool continuation(std::string_view text, std::size_t at)
{
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence at `at` (2 to 4 bytes, lone UTF-16 halves
// in their generalised 3-byte form counted too), or 0 for a byte that starts none.
std::size_t sequenceAt(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const auto second = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF && (lead != 0xE0 || second >= 0xA0))
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4 && (lead != 0xF0 || second >= 0x90) &&
             (lead != 0xF4 || second < 0x90))
        length = 4;
    for (std::size_t i = 1; i < length; ++i)
        if (!continuation(text, at + i)) return 0;
    return length;
}

void appendEscape(std::string &out, char kind, unsigned value, int digits)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '\\';
    out += kind;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 15];
}

std::string escaped(std::string_view text, Kept kept)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' && kept == Kept::Nothing) out += '\\';
            out += char(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            if (kept == Kept::LineBreaks && (c == '\n' || c == '\t'))
                out += char(c);
            else if (c == '\t')
                out += "\\t";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else
                appendEscape(out, 'x', c, 2);
            ++i;
            continue;
        }
        const std::size_t length = sequenceAt(text, i);
        if (length == 0) {
            appendEscape(out, 'x', c, 2);
            ++i;
            continue;
        }
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (c == 0xC2 && second < 0xA0) {
            appendEscape(out, 'u', second, 4); // a C1 control: U+0080..U+009F
        } else if (c == 0xED && second >= 0xA0) {
            appendEscape(out, 'u',
                         0xD000 | (second & 0x3Fu) << 6 |
                             (static_cast<unsigned char>(text[i + 2]) & 0x3Fu),
                         4);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

} // namespace

std::string tsvEscaped(std::string_view cell)
{
    return escaped(cell, Kept::Nothing);
}

std::string screenText(std::string_view text, bool lineBreaks)
{
    return escaped(text, lineBreaks ? Kept::LineBreaks : Kept::Backslash);
}

namespace {

template <typename Field>
std::string joinedCells(const std::vector<std::string_view> &cells, char separator, Field field,
                        std::string_view end)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) line += separator;
        line += field(cells[i]);
    }
    return line.append(end);
}

} // namespace

std::string tsvLine(const std::vector<std::string_view> &cells)
{
    return joinedCells(cells, '\t', tsvEscaped, "\n");
}

std::string csvField(std::string_view cell)
{
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(cell);
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string csvLine(const std::vector<std::string_view> &cells)
{
    return joinedCells(cells, ',', csvField, "\r\n");
}

std::string jsonString(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            // A C1 control (U+0080..U+009F): some terminals obey it as ESC does.
            out += "\\u00";
            out += kHex[(static_cast<unsigned char>(text[i + 1]) >> 4) & 15];
            out += kHex[text[i + 1] & 15];
            ++i;
        } else if (c == 0xED && i + 2 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0) {
            // A UTF-16 half on its own (ED A0..BF xx), which JSON can only escape.
            const unsigned unit = 0xD000 | (static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6 |
                                  (static_cast<unsigned char>(text[i + 2]) & 0x3F);
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(unit >> shift) & 15];
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string jsonLine(const std::vector<std::string> &headers,
                     const std::vector<std::string_view> &cells)
{
    std::string line = "{";
    for (std::size_t i = 0; i < cells.size() && i < headers.size(); ++i) {
        if (i) line += ',';
        std::string key = headers[i];
        for (char &c : key)
            c = c == ' ' ? '_' : asciiLower(c);
        line += '"' + key + "\":" + jsonString(cells[i]);
    }
    return line + "}\n";
}
