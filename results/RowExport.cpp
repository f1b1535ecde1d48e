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

namespace {

std::vector<std::string_view> cellsOf(const ResultRow &row)
{
    return {row.root, row.branch, row.name, row.type, row.value};
}

} // namespace

std::string exportRows(const std::vector<ResultRow> &rows, ExportFormat format)
{
    if (format == ExportFormat::Reg) {
        UndoCapture capture;
        for (const ResultRow &row : rows)
            captureExportOf(capture, row);
        return exportFileText(capture);
    }
    const auto line = format == ExportFormat::Csv ? csvLine : tsvLine;
    std::string text = line({"Root", "Branch", "Name", "Type", "Value"});
    for (const ResultRow &row : rows)
        text += line(cellsOf(row));
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
