#include "registry/CellText.h"

std::string tsvEscaped(std::string_view cell)
{
    std::string out;
    out.reserve(cell.size());
    for (char c : cell) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string tsvLine(const std::vector<std::string_view> &cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) line += '\t';
        line += tsvEscaped(cells[i]);
    }
    return line + '\n';
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
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) line += ',';
        line += csvField(cells[i]);
    }
    return line + "\r\n";
}
