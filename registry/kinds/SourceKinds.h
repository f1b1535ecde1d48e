// Every kind of registry Quarnel opens, in one table (SourceKinds.cpp), and the
// openings that choose one: the registry opened by default, the kind of the
// registry at a location, another registry read as a copy. A new kind is a
// folder of its own implementing SourceKind (registry/source/RegistrySource.h)
// and one line in the table; discovery (prefixes/) and both faces reach it
// through what is declared here.
#pragma once

#include "registry/source/RegistryFiles.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quarnel::platform {

// The kinds in the order they are tried on a location.
std::span<const SourceKind *const> sourceKinds();
// The first kind holding at least `least` of a registry at `location` (a folder
// or a file), or null.
const SourceKind *kindHolding(const std::string &location,
                              SourceKind::Holding least = SourceKind::Holding::Part);
// The kind that opens a location no kind holds: its opening says what is missing.
const SourceKind &defaultKind();
// Quarnel's own registry: known by where it is, not by what it holds.
const SourceKind &ownRegistryKind();

// Chooses the registry (WINEPREFIX, else ~/.wine, else Quarnel's own in
// $XDG_DATA_HOME/quarnel/registry) and opens it (see openRegistryAt).
RegistryOpened openRegistry(const AskUser &ask = {}, OpenFor purpose = OpenFor::Change);
// The directory openRegistry() would open now, or "" when it could open none.
std::string defaultRegistryDirectory();
// The registry of Wine's files in `directory`: a Wine prefix, or with
// `isWinePrefix` false Quarnel's own registry (tests, tools).
RegistryOpened openRegistryAt(const std::string &directory, bool isWinePrefix,
                              const AskUser &ask = {}, OpenFor purpose = OpenFor::Change);

// Another registry read as its files stand, beside the open one, whatever its
// kind (SourceKind::readCopy): make it what one thread's calls work on with a
// ThreadStoreScope (KeyStore.h). Null, with `error`, when no registry is at
// `location` or a file cannot be read.
std::shared_ptr<KeyStore> readRegistryCopy(const std::string &location, std::string &error,
                                           std::string_view holding = {});

} // namespace quarnel::platform
