// An import as an edit: what it may change, for its undo file, and the import
// itself as one unit; and a key written out as a registry editor file (an
// export), through the same capture.
#pragma once

#include "registry/regfile/ImportFile.h"

#include <string>
#include <vector>

class UndoCapture;

namespace quarnel {

// What importing `read` may change, as it is now, for the import's undo file.
void captureImport(UndoCapture &capture, const ImportRead &read,
                   const ImportProgress &progress = {});
// Imports it as one unit (ApplyUndo); one line per failure, none when all went in.
std::vector<std::string> applyImport(const ImportRead &read, const std::string &description,
                                     const ImportProgress &progress = {});

// The key with all below it as a registry editor file (an export); raises when
// it cannot be read.
std::string exportKey(const std::string &rootName, const std::string &keyPath);

} // namespace quarnel
