// Resolving subkey paths below a key: name limits, symbolic links, creation.
#pragma once

#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quarnel::platform {

// Wine's server takes key names of up to 256 units (one more than Windows).
constexpr std::size_t kMaxKeyNameUnits = 256;
// The 8-bit open, create and delete calls convert the subkey path into a
// per-thread buffer of 261 units; longer paths fail with ERROR_MORE_DATA.
constexpr std::size_t kMaxPathUnits = 260;

// Walks `path` below `base`, creating missing keys when asked. A class given to a
// create lands where Wine puts it: on the last key when at most that one was
// missing, else on every key of the path (Wine then creates them one by one).
struct WalkResult
{
    RegKey *key = nullptr;
    bool created = false;  // reported as REG_CREATED_NEW_KEY
    bool stepwise = false; // more than one key was missing: Wine creates them one call each
};
LONG walkPath(RegKey *base, std::u16string_view path, DWORD options, bool create,
              const std::u16string *cls, WalkResult &result);

// The open of walkPath for an ASCII path (the caller checks that), which is what
// a walk over the tree gives for nearly every key: the leading names it shares
// byte for byte with the last such open are neither converted nor looked up again.
LONG openAsciiPath(RegKey *base, std::string_view path, DWORD options, WalkResult &result);

} // namespace quarnel::platform
