// Writes one hive, the keys below its root and the root's own values, as the
// text of a Wine registry file, byte for byte as Wine would: its sorting,
// escapes, value forms and hex wrapping, and only lines Wine reads back to the
// same data.
#pragma once

#include "registry/win32/KeyStore.h"
#include "registry/wine/WineRegReader.h"

#include <functional>
#include <string>
#include <string_view>

namespace quarnel::platform::wine {

// The preamble Wine writes for a hive whose root has this NT path
// (for instance REGISTRY\Machine).
Preamble standardPreamble(std::u16string_view rootPath);

// `sizeHint`: the expected length (say the file's last size), to allocate once.
std::string writeHive(const RegKey &root, const Preamble &preamble, std::size_t sizeHint = 0);

// The same text, handed to `sink` in chunks of about a megabyte as it is made.
using HiveSink = std::function<void(std::string_view)>;
void writeHive(const RegKey &root, const Preamble &preamble, const HiveSink &sink);

// Whether Wine keeps this key in the file (volatile keys and keys that only
// hold subkeys are implied or dropped).
bool isWritten(const RegKey &key);

} // namespace quarnel::platform::wine
