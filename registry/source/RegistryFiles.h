// What the program calls to work on the real registry of this machine: the
// registry files of a Wine prefix (or Quarnel's own). No Qt here; the window
// shows the messages these return.
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

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

class KeyStore;

// Asks the user a yes/no question; true for yes.
using AskUser = std::function<bool(const std::string &question)>;

struct RegistryOpened
{
    enum class Status
    {
        Ok,       // open and writable
        ReadOnly, // loaded, but changes are refused (Wine running, unreadable file...)
        Failed    // no registry: the calls work on an empty registry in memory
    } status = Status::Failed;
    std::string directory;     // the prefix (or Quarnel's own registry directory)
    bool isWinePrefix = false; // false for Quarnel's own registry
    std::string message;       // for the user; empty when there is nothing to say
    // Undo files of undos the last run was ended in the middle of (nothing of
    // them was applied; `message` names them): offer to apply them again.
    std::vector<std::string> undosCutShort;
};

// What a registry is opened for. To read it only (a search, an export, a listing),
// nothing is written into its folder: no lock, no journal, no file of Wine's; the
// changes an earlier run journaled are shown, not saved. It opens ReadOnly.
enum class OpenFor
{
    Change,
    Reading
};

// Chooses the registry (WINEPREFIX, else ~/.wine, else Quarnel's own in
// $XDG_DATA_HOME/quarnel/registry), locks it, loads it, applies changes an
// earlier run journaled, and makes it what the Win32 calls work on. When the
// files changed on disk after those changes were made, `ask` decides whether
// they are applied; without it (or on no) they are kept aside, and the message
// says where.
RegistryOpened openRegistry(const AskUser &ask = {}, OpenFor purpose = OpenFor::Change);
// The directory openRegistry() would open now, or "" when it could open none.
std::string defaultRegistryDirectory();
// The same for a given directory (tests, tools).
RegistryOpened openRegistryAt(const std::string &directory, bool isWinePrefix,
                              const AskUser &ask = {}, OpenFor purpose = OpenFor::Change);

// Another registry's files read as they stand, for reading only, beside the
// open one: no lock, no journal, nothing written, a Wine running on it no
// obstacle; every change is refused. Make it what one thread's calls work on
// with a ThreadStoreScope (KeyStore.h). Null, with `error`, when its
// system.reg is missing or a file cannot be read. With `holding` (a search
// text, lower case), keys a search for it cannot find may be left out where
// that changes nothing the search finds: it reads a fraction of the keys.
std::shared_ptr<KeyStore> readRegistryCopy(const std::string &directory, std::string &error,
                                           std::string_view holding = {});

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

// <registry directory>/quarnel-backups; without registry files the folder set
// by setSafetyFolderOverride(), else "".
std::string safetyFolder();

// Where backups and undo files go while no registry files are open (the
// in-memory registry of tests); "" for none, so edits keep no undo files.
void setSafetyFolderOverride(const std::string &folder);

// Why the open registry takes no changes, as facts: the window and the command
// line each say it in their own words.
struct RegistryRefusal
{
    enum class Kind
    {
        None,        // it takes changes
        WineRunning, // a wineserver runs on the prefix: `holder`, `wineTemp`
        InUse,       // another program holds the registry: `holder`, `holderName`
        NotLocked,   // the registry could not be locked: `detail` says why
        // `detail` says all: a file or the journal that cannot be read or written,
        // another user's folder, Wine started beside us.
        Other,
    };
    Kind kind = Kind::None;
    std::string directory;
    int holder = 0;           // the process holding the registry when it was opened
    std::string holderName;   // its command name, when known
    bool holderEnded = false; // that process has ended since: opened again, it would take changes
    std::string wineTemp;     // the TMPDIR "wineserver -k" needs to reach it, or "" for the usual
    std::string detail;

    bool refuses() const { return kind != Kind::None; }
};
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
// Closes the open registry and opens the same one again (as openRegistryAt).
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
