// Reads the text of one Wine registry file (system.reg, user.reg, userdef.reg)
// into the key below which its keys live. It accepts what Wine writes and the
// variations Wine itself accepts, keeps lines it does not interpret, and stops
// at the first line Wine would drop or turn into an empty value, so that such a
// file is reported instead of being loaded with a loss and saved over.
#pragma once

#include "registry/platform/KeyStore.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform::wine {

inline constexpr std::string_view kRegistryHeader = "WINE REGISTRY Version 2";

// The lines between the first line and the first key section, kept as they came
// (the root comment and `#arch=`), without the blank line before the first key.
using Preamble = std::vector<std::string>;

struct ReadResult
{
    bool ok = true;
    std::size_t line = 0; // 1-based line of the problem
    std::string message;
};

// `root` must be a fresh key: keys of the file become its descendants.
ReadResult readHive(std::string_view text, RegKey &root, Preamble &preamble);

// The same for a file read a piece at a time, so that it never sits in memory
// whole: fills `to` with up to `room` bytes and sets `got`, 0 at its end; false
// when it cannot read (the result is then a failure).
using TextPieces = std::function<bool(char *to, std::size_t room, std::size_t &got)>;
ReadResult readHive(const TextPieces &pieces, RegKey &root, Preamble &preamble);

// The same for a file of `size` bytes that can be read from any offset (from
// several threads at once): a big file is read in parts side by side, each
// starting at a section, and the parts joined as if read in one.
using TextAt = std::function<bool(uint64_t at, char *to, std::size_t room, std::size_t &got)>;
ReadResult readHive(const TextAt &file, uint64_t size, RegKey &root, Preamble &preamble);

// Offsets where a part may start: a section's line right after a blank line,
// near `size` / `parts` apart (fewer where none is found). Starts with 0.
std::vector<uint64_t> partStarts(const TextAt &file, uint64_t size, std::size_t parts);

// Reads the parts starting at `starts` (the first at 0; each later one at a
// place partStarts gives) side by side; the last one reads to the file's end,
// also past `size` (the file's size when it was opened).
ReadResult readHiveParts(const TextAt &file, uint64_t size, const std::vector<uint64_t> &starts,
                         RegKey &root, Preamble &preamble);

// FILETIME of a time given in Unix seconds, and back (rounded down).
uint64_t fileTimeFromUnix(uint64_t seconds);
uint64_t unixFromFileTime(uint64_t fileTime);

} // namespace quarnel::platform::wine
