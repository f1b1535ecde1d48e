#include "cli/RowFormats.h"

#include "registry/win32/AsciiText.h"

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

std::vector<std::string> rowHeaders()
{
    return {kResultHeaders.begin(), kResultHeaders.end()};
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
