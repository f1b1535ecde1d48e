// The two kinds of registry kept in Wine's files: a Wine prefix (journaled,
// writable while no Wine runs on it and nobody else holds it) and Quarnel's own
// registry (the same files in a folder of Quarnel's, created on first use).
#pragma once

#include "registry/source/RegistrySource.h"

namespace quarnel::platform::wine {

const SourceKind &prefixKind();
const SourceKind &ownRegistryKind();

} // namespace quarnel::platform::wine
