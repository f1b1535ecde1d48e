// The registry editor's import format ("Windows Registry Editor Version 5.00";
// the older 8-bit "REGEDIT4" is read too): sections that create or remove a key,
// values with their type and stored bytes, and value removals. Written as UTF-16LE with a
// byte-order mark and CRLF line ends, in the friendly forms only where they read back exactly.
//
// What the format cannot say, or Wine's regedit cannot take, goes into comment
// lines of our own, which regedit skips and our reader takes as the lines they
// hold: ";Quarnel: " and then a value line, or `key "path"`, `delete "path"` or
// `link "path"` (the path quoted as names are) for a section. Such a section is a
// symbolic link, a key below a link of the same file, a key whose name holds a
// line break, or a path too long for regedit; such a value is string data of one
// byte, on which regedit crashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct RegEditValue
{
    std::string name;     // 8-bit registry text; empty: the default value (@)
    bool removal = false; // "name"=-
    uint32_t type = 0;
    std::vector<uint8_t> data; // as stored: string data is UTF-16LE

    bool operator==(const RegEditValue &) const = default;
};

struct RegEditSection
{
    std::string path;     // from the root's display name: HKEY_CURRENT_USER\Software\...
    bool removal = false; // [-path]: the key with everything below it goes
    std::vector<RegEditValue> values;
    bool link = false; // a symbolic link: made as one, its values set on the link itself

    bool operator==(const RegEditSection &) const = default;
};

struct RegEditFault
{
    std::size_t line = 0; // counted from 1
    std::string reason;
};

struct RegEditParseResult
{
    bool ok = true;
    std::size_t line = 0; // of the first fault, counted from 1
    std::string message;
    std::size_t faultCount = 0;       // every fault of the file
    std::vector<RegEditFault> faults; // the first kListedFaults of them, in line order
    static constexpr std::size_t kListedFaults = 1000;
};

struct RegEditReadOptions
{
    // Why a section may not stand in the file ("" when it may), asked of each as
    // its key line is read (path, removal and link set, no values yet).
    std::function<std::string(const RegEditSection &)> checkSection;
    // Told after each section how many of the file's bytes were read.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // The ANSI code page a REGEDIT4 file is read in; 0: the user's.
    unsigned codePage = 0;
};

struct RegEditFile
{
    std::vector<RegEditSection> sections;

    std::string write() const;
    // Reads what write() writes and what the registry editor exports, in one pass
    // that finds every fault ("REGEDIT4" too: see RegEditText.h).
    static RegEditParseResult parse(std::string_view bytes, RegEditFile &file,
                                    const RegEditReadOptions &options = {});
    // The same a section at a time, each handed over once read whole, so that a
    // big file need not be held twice. A file with faults hands over what read,
    // which then stands for nothing.
    static RegEditParseResult read(std::string_view bytes,
                                   const std::function<void(RegEditSection &&)> &each,
                                   const RegEditReadOptions &options = {});
};
