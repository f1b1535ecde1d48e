// The result rows as the command line writes them: aligned text columns, tab
// separated lines, JSON lines. Each cell is written exactly but for what
// registry/text/CellText.h escapes in tsv and text (text leaves backslashes alone: it
// is for the eye), and JSON's escapes; no control character reaches the terminal.
#pragma once

#include "registry/text/CellText.h"
#include "search/ResultRow.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::cli {

using ::tsvEscaped; // registry/text/CellText.h
// A JSON string with its quotes. Text that is not UTF-8 stays as bytes, except
// that a lone UTF-16 half kept in the registry's 8-bit text becomes \uXXXX, as do
// control characters (DEL and C1 too).
std::string jsonString(std::string_view text);

using Cells = std::vector<std::string_view>;

// Root, Branch, Name, Type, Value; jsonl keys are these in lower case.
const std::vector<std::string> &rowHeaders();
Cells cellsOf(const ResultRowView &row);

using ::tsvLine;
std::string jsonLine(const std::vector<std::string> &headers, const Cells &cells);

// Aligned columns under a header line; the last column is not padded.
class TextTable
{
public:
    explicit TextTable(std::vector<std::string> headers) : m_headers(std::move(headers)) {}
    void add(const Cells &cells);
    void write(std::FILE *out) const;

private:
    std::vector<std::string> m_headers;
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace quarnel::cli
