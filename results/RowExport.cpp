#include "results/RowExport.h"

#include "registry/text/CellText.h"
#include "registry/text/RegistryPathText.h"
#include "registry/undo/UndoCapture.h"

void captureExportOf(UndoCapture &capture, const ResultRow &row)
{
    if (row.kind() == ResultRowKind::Key)
        capture.captureKey(row.root, row.branch);
    else
        capture.captureValue(row.root, row.branch, row.valueName());
}

std::string exportFileText(const UndoCapture &capture)
{
    const RegEditFile captured = capture.file();
    RegEditFile file;
    // Only a value that is no longer there is captured as its removal; a section
    // left without values then has nothing to make.
    for (const RegEditSection &section : captured.sections) {
        if (section.removal) continue;
        RegEditSection kept = section;
        std::erase_if(kept.values, [](const RegEditValue &value) { return value.removal; });
        if (kept.values.empty() && !section.values.empty()) continue;
        file.sections.push_back(std::move(kept));
    }
    return file.write();
}

const std::vector<RowFormatName> &rowFormats()
{
    // The window's Export… offers its filters in this order, the first by default.
    static const std::vector<RowFormatName> formats{
        {RowFormat::Reg, "reg", "Registry files (*.reg)", ".reg"},
        {RowFormat::Tsv, "tsv", "Tab-separated text (*.tsv)", ".tsv"},
        {RowFormat::Csv, "", "Comma-separated values (*.csv)", ".csv"},
        {RowFormat::Jsonl, "jsonl", "", ".jsonl"},
        {RowFormat::Text, "text", "", ".txt"},
    };
    return formats;
}

const RowFormatName *rowFormatOfWord(std::string_view word)
{
    for (const RowFormatName &name : rowFormats())
        if (*name.word && word == name.word) return &name;
    return nullptr;
}

std::string headerLine(RowFormat format, const std::vector<std::string> &headers)
{
    if (format == RowFormat::Jsonl) return {};
    return rowLine(format, headers, {headers.begin(), headers.end()});
}

std::string rowLine(RowFormat format, const std::vector<std::string> &headers,
                    const std::vector<std::string_view> &cells)
{
    switch (format) {
    case RowFormat::Csv: return csvLine(cells);
    case RowFormat::Jsonl: return jsonLine(headers, cells);
    default: return tsvLine(cells);
    }
}

std::string exportRows(const std::vector<ResultRow> &rows, RowFormat format)
{
    if (format == RowFormat::Reg) {
        UndoCapture capture;
        for (const ResultRow &row : rows)
            captureExportOf(capture, row);
        return exportFileText(capture);
    }
    const std::vector<std::string> headers(kResultHeaders.begin(), kResultHeaders.end());
    std::string text = headerLine(format, headers);
    for (const ResultRow &row : rows)
        text += rowLine(format, headers, cellsOf(row));
    return text;
}

std::string copiedRows(const std::vector<ResultRow> &rows)
{
    std::string text;
    for (const ResultRow &row : rows)
        text += tsvLine(cellsOf(row));
    return text;
}

std::string keyPathText(const ResultRow &row)
{
    return RegistryPathText(row.root, row.branch).full();
}
