// The safety folder beside the registry files (quarnel-backups/): a copy of the
// registry made before the first change of a session, one folder per backup
// named after its time in UTC (YYYY-MM-DD_HH-MM-SS), the newest ten kept; and
// undo/, the files that give back single edits. Every kind of registry keeps
// one; each names the files its registry is kept in (`RegistryFileNames`), and
// only those (and our note) are taken for a backup's. Nothing here follows a
// symbolic link or replaces a file it did not make.
#pragma once

#include "registry/source/AtomicFile.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

inline constexpr const char *kSafetyFolderName = "quarnel-backups";
inline constexpr const char *kUndoFolderName = "undo";
inline constexpr std::size_t kBackupsKept = 10;
// What a backup holds when that needs saying (beside the registry files).
inline constexpr const char *kBackupNoteFile = "README.txt";

// The names of the files a registry is kept in (Wine's system.reg, user.reg,
// userdef.reg): what a backup of it holds.
using RegistryFileNames = std::span<const char *const>;

// One file of a backup.
struct BackupFile
{
    std::string name;     // inside the backup folder (system.reg...)
    std::string original; // the registry file: its mode is kept, and it is copied when
                          // `produce` is empty
    std::function<void(const ChunkSink &)> produce; // else the content, piece by piece
};

// "YYYY-MM-DD_HH-MM-SS" in UTC: names sort by time whatever the time zone or
// daylight saving time of each run.
std::string timeStamp(std::time_t when);

// Whether `name` is a backup folder's: a time stamp, perhaps with "-2", "-3"...
bool isBackupFolderName(std::string_view name);

// Writes the files into a hidden folder inside `safetyFolder` (made when
// missing) and renames that into place under the time stamp, with a suffix when
// the name is taken, so that a backup cut short never looks complete. Then
// removes backups of `names` beyond the newest `keep`, this one among them.
// Returns the folder made, or "" with `error` saying what failed where.
std::string makeBackup(const std::string &safetyFolder, RegistryFileNames names,
                       const std::vector<BackupFile> &files, std::time_t when, bool syncToDisk,
                       std::string &error, std::size_t keep = kBackupsKept);

// A backup folder: its name, when it was made (its modification time) and the
// bytes of the registry files in it.
struct BackupFolder
{
    std::string name;
    std::time_t made = 0;
    std::uintmax_t bytes = 0;
};
// The backups in `safetyFolder`, newest first, as pruneBackups judges them.
std::vector<BackupFolder> listBackups(const std::string &safetyFolder, RegistryFileNames names);

// Removes the backup folders older than the newest `keep`, `spare` always
// counted among those kept: only the registry files in them (and our note),
// then the folder if nothing else is left. Which are newest is decided by the
// time each folder was made (its modification time), not by its name: older
// runs named them in local time. A folder without registry files is no backup
// and is left alone. Leftovers of backups cut short go too.
void pruneBackups(const std::string &safetyFolder, RegistryFileNames names, std::size_t keep,
                  const std::string &spare = {});

// The identities of the registry files as Quarnel last saved its own changes into
// them, kept in the safety folder: while the files are still those, the newest
// backup and the undo files written since hold every change, and a session needs
// no backup of its own.
// `files` holds the identity of each of `names`.
bool writeSavedFiles(const std::string &safetyFolder, RegistryFileNames names, const FileId *files,
                     bool syncToDisk, std::string &error);
bool areSavedFiles(const std::string &safetyFolder, RegistryFileNames names, const FileId *files);

// Removes what a backup or an undo file cut short by a kill left behind
// (".partial-*"), and nothing else.
void removeLeftovers(const std::string &safetyFolder, RegistryFileNames names);

// An undo that was cut short changed nothing: the undo file it took back goes
// back to `sizeBefore` bytes (what was appended since, its mark, goes; its time
// stays), and `record`, the undo file it wrote, is removed. Only files in the
// undo folder, never through a link.
void forgetUndoCutShort(const std::string &safetyFolder, const std::string &undoFile,
                        int64_t sizeBefore, const std::string &record);

// Writes `bytes` as "<stamp>-<kind>.reg" (with a suffix when taken) into the
// undo folder inside `safetyFolder`. Returns its path, or "" with `error` set.
std::string writeUndoFile(const std::string &safetyFolder, const std::string &kind,
                          std::string_view bytes, std::time_t when, bool syncToDisk,
                          std::string &error);

} // namespace quarnel::platform
