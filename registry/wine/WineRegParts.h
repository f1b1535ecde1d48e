// Reading a big Wine registry file in parts side by side, one per core: each
// part starts at a section after a blank line (where no value can go on), is
// read on its own, and the parts' trees are joined as one read builds them.
#pragma once

#include "registry/wine/WineRegReader.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace quarnel::platform::wine {

// A file that can be read from any offset, from several threads at once: fills
// `to` with up to `room` bytes from `at` on and sets `got`, 0 at its end; false
// when it cannot read.
using TextAt = std::function<bool(uint64_t at, char *to, std::size_t room, std::size_t &got)>;

// readHive for a file of `size` bytes: in parts side by side when it is big.
ReadResult readHive(const TextAt &file, uint64_t size, RegKey &root, Preamble &preamble);

// Offsets where a part may start: a section's line right after a blank line,
// near `size` / `parts` apart (fewer where none is found). Starts with 0.
std::vector<uint64_t> partStarts(const TextAt &file, uint64_t size, std::size_t parts);

// Reads the parts starting at `starts` (the first at 0; each later one at a
// place partStarts gives) side by side; the last one reads to the file's end,
// also past `size` (the file's size when it was opened).
ReadResult readHiveParts(const TextAt &file, uint64_t size, const std::vector<uint64_t> &starts,
                         RegKey &root, Preamble &preamble);

} // namespace quarnel::platform::wine
