// What the program calls to work on the registry that is open, whatever its
// kind (RegistrySource.h): a Wine prefix's files, Quarnel's own registry, a
// copy. No Qt here; the window shows the messages these return. The registry
// chosen by default, or by where it is, is opened through
// registry/kinds/SourceKinds.h.
//
//   at start-up:  auto opened = quarnel::platform::openRegistry(ask);
//                 (ask: a confirmation box, for changes of a crashed run that
//                 would go over files changed since)
//                 if (!opened.message.empty()) show it (an error box when
//                 opened.status is not Ok, else an information box)
//   from an idle timer (say every second):
//                 if (auto m = quarnel::platform::flushRegistryIfIdle(); !m.empty()) show m
//                 if (auto m = quarnel::platform::takeRegistryNotice(); !m.empty()) show m
//   at exit:      if (auto m = quarnel::platform::closeRegistry(); !m.empty()) show m
//   before an edit, once the user confirmed it:
//                 if (auto m = quarnel::platform::backupBeforeFirstChange(); !m.empty())
//                     show m and change nothing
//                 then write what the edit may change with writeUndoFile()
#pragma once

#include "registry/source/RegistrySource.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quarnel::platform {

// Closes the open registry, then opens the one of `kind` at `location` (a
// folder or a file) and makes it what the Win32 calls work on. A registry
// opened to change it or to read it is locked as its kind needs and shows the
// changes an earlier run journaled; when the files changed on disk after those
// were made, `ask` decides whether they are applied (without it, or on no,
// they are kept aside, and the message says where). A copy is read through
// the kind's readCopy().
RegistryOpened openRegistryAt(const SourceKind &kind, const std::string &location,
                              const AskUser &ask = {}, OpenFor purpose = OpenFor::Change);

// Saves changed hives once nothing has changed for `quietMs`. Cheap when there
// is nothing to do; returns "" or a message for the user.
std::string flushRegistryIfIdle(int quietMs = 1500);

// Saves everything, releases the lock. Returns "" or a message for the user.
std::string closeRegistry();
// The same for a process about to end: the keys stay in memory, as taking apart a
// big tree key by key would only delay the exit (the command line's).
std::string closeRegistryForExit();

// Why a registry call failed that its caller cannot explain (the journal could
// not be written: a full disk), once; "" when there is nothing new to tell.
std::string takeRegistryNotice();

// Copies the registry as it stands into <safetyFolder()>/<YYYY-MM-DD_HH-MM-SS>/
// unless that was done earlier this session. Returns "" (made now or earlier, or
// no writable registry is open) or a message for the user saying what failed
// and that nothing was changed; until a backup is made, every change is refused.
std::string backupBeforeFirstChange();

// <registry directory>/quarnel-backups ("" for a registry that keeps none, a
// copy); while no registry is open the folder set by setSafetyFolderOverride().
std::string safetyFolder();

// Where backups and undo files go while no registry files are open (the
// in-memory registry of tests); "" for none, so edits keep no undo files.
void setSafetyFolderOverride(const std::string &folder);

// Why the open registry takes no changes, as facts: the window and the command
// line each say it in their own words.
RegistryRefusal registryRefusal();

// The backups in safetyFolder(), newest first: each folder, when it was made
// and the bytes of its registry files.
struct BackupListed
{
    std::string folder;
    std::time_t made = 0;
    std::uintmax_t bytes = 0;
};
std::vector<BackupListed> listBackups();
// How many backups are kept, the newest (10 unless set); for registries opened later too.
void setBackupsKept(std::size_t keep);

// Puts the backup's registry files in place of the open registry's, after
// saving every change and backing the registry up as it stands (`madeBackup`:
// that folder, left empty when no file was replaced). One unit: a start after a
// kill finds the registry as it was or finishes the restore, and says which.
// Refused while Wine runs on the prefix or no change is taken.
// The keys in memory are the old ones until reopenRegistry(). Returns "" or a
// message for the user.
std::string restoreBackup(const std::string &backupFolder, std::string &madeBackup);
// Closes the open registry and opens the same one again, for the same purpose.
RegistryOpened reopenRegistry(const AskUser &ask = {});

// The open registry's side of ChangeUnit (ChangeUnit.h), which is what callers use.
void beginChangeUnit(const std::string &description, const std::string &undoFile,
                     const std::string &record);
bool endChangeUnit(bool keep, std::string &error);

// Writes an undo file (a registry editor file) as
// <safetyFolder()>/undo/<YYYY-MM-DD_HH-MM-SS>-<kind>.reg. `path` is set to the
// file written; otherwise the result is a message for the user.
std::string writeUndoFile(const std::string &kind, const std::string &bytes, std::string &path);

} // namespace quarnel::platform
