// Result rows taken out of the program: as a registry editor file of what each
// row stands for, exactly as it is now (the command line's `--format reg` and the
// window's Export… write the same file), as tab-separated lines (Copy, and a .tsv
// file) or as comma-separated values (a .csv file). Free of Qt.
#pragma once

#include "search/ResultRow.h"

#include <string>
#include <string_view>
#include <vector>

class UndoCapture;

// A key row: the key with everything below it. Any other row: its value.
void captureExportOf(UndoCapture &capture, const ResultRow &row);
// The registry editor file (UTF-16LE with a byte-order mark) of what was captured.
// A value gone since its row was found is left out: an export never removes anything.
std::string exportFileText(const UndoCapture &capture);

enum class ExportFormat
{
    Reg,
    Tsv, // a header line, then each row's five cells as tsvLine writes them
    Csv, // a header line, then each row's five cells as csvLine writes them
};
std::string exportRows(const std::vector<ResultRow> &rows, ExportFormat format);

// The rows' five cells, tab separated, one line each (no header): what Copy gives.
std::string copiedRows(const std::vector<ResultRow> &rows);
// The full path of a row's key as tools and `reg` take it: HKEY_CURRENT_USER\Software\Wine.
std::string keyPathText(const ResultRow &row);
