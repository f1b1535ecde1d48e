// Which registry Quarnel works on, and the files that make it up.
#pragma once

#include "registry/source/RegistrySource.h"

#include <string>

namespace quarnel::platform::wine {

struct RegistryLocation
{
    std::string directory;
    bool isWinePrefix = false; // false: Quarnel's own registry directory
    std::string error;         // set when no registry can be used
};

// WINEPREFIX when set (it must already be a Wine prefix); else ~/.wine when it
// holds system.reg; else $XDG_DATA_HOME/quarnel/registry (default
// ~/.local/share/quarnel/registry), which need not exist yet.
RegistryLocation chooseRegistry();

// How much of a Wine prefix's registry `directory` holds: Whole when its
// system.reg and user.reg are regular files; Part when its system.reg is there
// as anything but a folder (a prefix being made, or a file that opening then
// says is damaged, rather than taking the prefix for none); else None.
SourceKind::Holding winePrefixAt(const std::string &directory);

// The file names of the three hives, in the order Quarnel keeps them.
inline constexpr const char *kHiveFiles[3] = {"system.reg", "userdef.reg", "user.reg"};
enum HiveIndex
{
    kSystemHive = 0,
    kUserDefaultHive = 1,
    kUserHive = 2
};

// Names of our own files inside a registry directory.
inline constexpr const char *kJournalFile = "quarnel.journal";
inline constexpr const char *kOwnLockFile = "quarnel.lock";
// A backup's file written beside the one it is to replace by a restore.
inline constexpr const char *kRestoreSuffix = ".quarnel-restore";

} // namespace quarnel::platform::wine
