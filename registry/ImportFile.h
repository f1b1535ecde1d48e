// A registry editor file to import, read whole before anything changes:
// "Windows Registry Editor Version 5.00" in UTF-16LE (with or without its
// byte-order mark) or UTF-8, or "REGEDIT4" (8-bit text). Every faulty line is
// found, not only the first, so that the user can mend them all at once.
#pragma once

#include "registry/RegEditFile.h"

#include <string>
#include <string_view>
#include <vector>

class UndoCapture;

namespace quarnel {

struct ImportFault
{
    std::size_t line; // counted from 1
    std::string reason;
};

struct ImportRead
{
    RegEditFile file;
    std::vector<ImportFault> faults; // in line order; the file is used only when none
};

ImportRead readImportFile(std::string_view bytes);

// What importing `file` may change, as it is now, for the import's undo file.
void captureImport(UndoCapture &capture, const RegEditFile &file);
// The key with all below it as a registry editor file (an export); raises when
// it cannot be read.
std::string exportKey(const std::string &rootName, const std::string &keyPath);

} // namespace quarnel
