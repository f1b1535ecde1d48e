// Result rows taken out of the program: as a registry editor file of what each
// row stands for, exactly as it is now (the command line's `--format reg` and the
// window's Export… write the same file), as tab-separated lines (Copy, a .tsv file,
// --format tsv), comma-separated values (a .csv file) or JSON lines (--format
// jsonl). The one list of formats both faces offer. Free of Qt.
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

// The forms rows leave the program in, for both faces.
enum class RowFormat
{
    Reg,   // a registry editor file of what the rows stand for
    Tsv,   // a header line, then each row's cells as tsvLine writes them
    Csv,   // a header line, then each row's cells as csvLine writes them
    Jsonl, // each row's cells as jsonLine writes them
    Text,  // aligned columns for the eye (the command line's TextTable)
};
struct RowFormatName
{
    RowFormat format;
    const char *word;   // the command line's --format word, "" where it has none
    const char *filter; // the window's Export… filter, "" where it has none
    const char *suffix; // a file's, added to a name typed without one
};
const std::vector<RowFormatName> &rowFormats();
// The --format word's format, or null.
const RowFormatName *rowFormatOfWord(std::string_view word);

// A line of Tsv, Csv or Jsonl: the headers' line (none for Jsonl), a row's cells.
std::string headerLine(RowFormat format, const std::vector<std::string> &headers);
std::string rowLine(RowFormat format, const std::vector<std::string> &headers,
                    const std::vector<std::string_view> &cells);

// The rows as a file in `format` (Reg, Tsv, Csv or Jsonl).
std::string exportRows(const std::vector<ResultRow> &rows, RowFormat format);

// The rows' five cells, tab separated, one line each (no header): what Copy gives.
std::string copiedRows(const std::vector<ResultRow> &rows);
// The full path of a row's key as tools and `reg` take it: HKEY_CURRENT_USER\Software\Wine.
std::string keyPathText(const ResultRow &row);
