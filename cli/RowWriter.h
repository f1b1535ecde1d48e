// Rows written to standard output as they come, in the format chosen: tsv and
// jsonl a line at a time (results/RowExport.h), text in aligned columns once all
// are there.
#pragma once

#include "cli/CommandLine.h"
#include "cli/RowFormats.h"
#include "cli/Session.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace quarnel::cli {

// --format when given, else text on a terminal and tsv otherwise.
inline RowFormat chosenFormat(const Invocation &inv)
{
    if (inv.format) return *inv.format;
    return ::isatty(STDOUT_FILENO) ? RowFormat::Text : RowFormat::Tsv;
}

class RowWriter
{
public:
    RowWriter(RowFormat format, std::vector<std::string> headers)
        : m_format(format), m_headers(std::move(headers)), m_table(m_headers)
    {
        if (m_format != RowFormat::Text) out(headerLine(m_format, m_headers));
    }
    void add(const Cells &cells)
    {
        if (m_format == RowFormat::Text)
            m_table.add(cells);
        else
            out(rowLine(m_format, m_headers, cells));
    }
    void finish()
    {
        if (m_format == RowFormat::Text) m_table.write(stdout);
    }

private:
    RowFormat m_format;
    std::vector<std::string> m_headers;
    TextTable m_table;
};

} // namespace quarnel::cli
