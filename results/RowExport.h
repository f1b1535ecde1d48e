// Result rows taken out of the program as a registry editor file: what each row
// stands for, exactly as it is now.
#pragma once

#include "search/ResultRow.h"

class UndoCapture;

// A key row: the key with everything below it. Any other row: its value.
void captureExportOf(UndoCapture &capture, const ResultRow &row);
