// The result rows as the command line writes them in aligned text columns: each
// cell as registry/text/CellText.h escapes it for the eye (backslashes stay); no
// control character reaches the terminal. The other formats: results/RowExport.h.
#pragma once

#include "registry/text/CellText.h"
#include "search/ResultRow.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::cli {

using Cells = std::vector<std::string_view>;

// Root, Branch, Name, Type, Value: the result list's headers.
std::vector<std::string> rowHeaders();

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
