// A registry editor file to import, read whole before anything changes:
// "Windows Registry Editor Version 5.00" in UTF-16LE (with or without its
// byte-order mark) or UTF-8, or "REGEDIT4" (8-bit text, RegEditText.h). Every
// faulty line is found in one pass, so that the user can mend them all at once.
// The command line's and the window's import alike.
//
// The file is kept as it was read, and its sections are read from it again for
// each step (the undo file, the import): a big file is never held a second time
// as sections and values, and the steps import what was checked.
#pragma once

#include "registry/regfile/RegEditFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarnel {

using ImportFault = RegEditFault;
// How far a step over the file is: bytes of it done, of all.
using ImportProgress = std::function<void(std::size_t done, std::size_t total)>;

// A bigger file is refused before it is read.
inline constexpr std::uintmax_t kMostImportBytes = std::uintmax_t(1) << 30;

struct ImportRead
{
    // Why the file could not be read ("" when it was), a sentence without its
    // period ("cannot read X; nothing was changed"); nothing else is set then.
    std::string error;
    std::vector<ImportFault> faults; // the first of them, in line order
    std::size_t faultCount = 0;      // all; the file is imported only when none
    std::size_t keys = 0;            // sections, deletions included
    std::size_t values = 0;          // value lines, deletions included
    std::string bytes;               // the file as read (emptied when it has faults)
    unsigned codePage = 0;           // the ANSI code page a REGEDIT4 file is read in

    // "1 key and 2 values", "3 faults"
    std::string countText() const;
    std::string faultCountText() const;
    // Each section in file order, read from the file again.
    void forEachSection(const std::function<void(const RegEditSection &)> &each,
                        const ImportProgress &progress = {}) const;
};

// Refuses what is not a regular file or is larger than kMostImportBytes.
ImportRead readImportPath(const std::string &path, const ImportProgress &progress = {});
ImportRead readImportFile(std::string bytes, const ImportProgress &progress = {});

} // namespace quarnel
