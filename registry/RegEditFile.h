// The registry editor's import format ("Windows Registry Editor Version 5.00"):
// sections that create or remove a key, values with their type and stored
// bytes, and value removals. Written as UTF-16LE with a byte-order mark and CRLF
// line ends, in the friendly forms only where they read back exactly.
#pragma once

#include <cstddef>
#include <cstdint>
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

    bool operator==(const RegEditSection &) const = default;
};

struct RegEditParseResult
{
    bool ok = true;
    std::size_t line = 0; // of the first error, counted from 1
    std::string message;
};

struct RegEditFile
{
    std::vector<RegEditSection> sections;

    std::string write() const;
    // Reads what write() writes and what the registry editor exports.
    static RegEditParseResult parse(std::string_view bytes, RegEditFile &file);
};
