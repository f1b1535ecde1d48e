// Reads the text of one Wine registry file (system.reg, user.reg, userdef.reg)
// into the key below which its keys live. It accepts what Wine writes and the
// variations Wine itself accepts, keeps lines it does not interpret, and stops
// at the first line Wine would drop or turn into an empty value, so that such a
// file is reported instead of being loaded with a loss and saved over.
#pragma once

#include "registry/win32/KeyStore.h"

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
    bool unreadable = false; // the text could not be read (the source says why)
};

// `root` must be a fresh key: keys of the file become its descendants.
ReadResult readHive(std::string_view text, RegKey &root, Preamble &preamble);

// The same for a file read a piece at a time, so that it never sits in memory
// whole: fills `to` with up to `room` bytes and sets `got`, 0 at its end; false
// when it cannot read (the result is then a failure).
using TextPieces = std::function<bool(char *to, std::size_t room, std::size_t &got)>;
ReadResult readHive(const TextPieces &pieces, RegKey &root, Preamble &preamble);

// What reading one part of a file found, for joining it to the parts before it
// (WineRegParts): its result, its lines, the line of its first NUL, whether a
// read failed, whether a section named the root, whether the file is no registry
// file at all, and the keys a #class line gave a class.
struct PartRead
{
    ReadResult result;
    std::size_t lines = 0;
    std::size_t nulLine = 0;
    bool readFailed = false;
    bool rootSeen = false;
    bool notRegistryFile = false;
    std::vector<RegKey *> classed;
};
// Reads a part of a file: the first as readHive does, a later one
// (`fromSection`) from the section it starts with. `size`: the part's size
// where known, which no read buffer needs to exceed.
PartRead readHivePart(const TextPieces &pieces, RegKey &root, Preamble &preamble, bool fromSection,
                      uint64_t size);

} // namespace quarnel::platform::wine
