// Rows written to standard output as they come, in the format chosen: tsv and
// jsonl a line at a time, text in aligned columns once all are there.
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
inline Format chosenFormat(const Invocation &inv)
{
    if (inv.format != Format::Default) return inv.format;
    return ::isatty(STDOUT_FILENO) ? Format::Text : Format::Tsv;
}

class RowWriter
{
public:
    RowWriter(Format format, std::vector<std::string> headers)
        : m_format(format), m_headers(std::move(headers)), m_table(m_headers)
    {
        if (m_format == Format::Tsv) {
            std::vector<std::string_view> cells(m_headers.begin(), m_headers.end());
            out(tsvLine(cells));
        }
    }
    void add(const Cells &cells)
    {
        switch (m_format) {
        case Format::Tsv: out(tsvLine(cells)); break;
        case Format::Jsonl: out(jsonLine(m_headers, cells)); break;
        default: m_table.add(cells);
        }
    }
    void finish()
    {
        if (m_format == Format::Text || m_format == Format::Default) m_table.write(stdout);
    }

private:
    Format m_format;
    std::vector<std::string> m_headers;
    TextTable m_table;
};

} // namespace quarnel::cli
