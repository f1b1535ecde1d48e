#include "cli/RowFormats.h"

#include <algorithm>

namespace quarnel::cli {

namespace {

// Characters on the screen, for the alignment: UTF-8 lead bytes.
std::size_t displayWidth(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

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

const std::vector<std::string> &rowHeaders()
{
    static const std::vector<std::string> headers{"Root", "Branch", "Name", "Type", "Value"};
    return headers;
}

Cells cellsOf(const ResultRowView &row)
{
    return {row.root, row.branch, row.name, row.type, row.value};
}

std::string jsonLine(const std::vector<std::string> &headers, const Cells &cells)
{
    std::string line = "{";
    for (std::size_t i = 0; i < cells.size() && i < headers.size(); ++i) {
        if (i) line += ',';
        std::string key = headers[i];
        for (char &c : key)
            c = c == ' ' ? '_' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        line += '"' + key + "\":" + jsonString(cells[i]);
    }
    return line + "}\n";
}

void TextTable::add(const Cells &cells)
{
    // For the eye: one row a line, backslashes of paths left as they are.
    std::vector<std::string> escaped;
    for (std::string_view cell : cells)
        escaped.push_back(screenText(cell));
    m_rows.push_back(std::move(escaped));
}

void TextTable::write(std::FILE *out) const
{
    std::vector<std::size_t> widths;
    for (const std::string &h : m_headers)
        widths.push_back(displayWidth(h));
    for (const auto &row : m_rows)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));
    auto line = [&](const std::vector<std::string> &cells) {
        std::string text;
        for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            text += cells[i];
            if (i + 1 < widths.size()) text.append(widths[i] - displayWidth(cells[i]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
        std::fwrite(text.data(), 1, text.size(), out);
    };
    line(m_headers);
    for (const auto &row : m_rows)
        line(row);
}

} // namespace quarnel::cli
