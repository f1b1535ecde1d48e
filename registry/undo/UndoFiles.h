// The undo files in <safety folder>/undo/ as a list the user picks from: each
// says what its edit was in a comment line of its own (";Quarnel-edit: 3 items
// deleted", after the first line; Wine's regedit skips it), and one that has
// been taken back says so in its last line (";Quarnel-undone: <time>"), so that
// no face takes it back twice. The files keep their names.
//
// Taking a file back writes an undo file too (a record: ";Quarnel-record: undo
// <name>"), so that the undo can itself be taken back, which redoes the edit
// (";Quarnel-record: redo <name>"). Records of undos are the redo chain: a redo
// takes back the newest of those written since the last edit; records of redos
// count as edits. Each file keeps the modification time of its first writing,
// which orders files written within one second.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace UndoFiles {

enum class Kind
{
    Edit, // an edit of the registry
    Undo, // the record of an undo: taking it back redoes the edit
    Redo  // the record of a redo: taken back like an edit
};

struct Entry
{
    std::string path;
    std::time_t time = 0;    // when it was written
    std::string description; // "3 items deleted"; "" in files of older versions
    bool takenBack = false;
    Kind kind = Kind::Edit;
    std::string recordOf{}; // a record's: the name of the file it took back
    std::uintmax_t bytes = 0;
};

// `bytes` (a registry editor file as RegEditFile::write() makes it) with the
// comment line that names the edit after its first line.
std::string described(const std::string &bytes, std::string_view description);
// Replaces (or adds) the comment line of the file at `path`. False when the file
// could not be rewritten.
bool describe(const std::string &path, std::string_view description);
// The comment line's text in `bytes`, or "".
std::string descriptionOf(std::string_view bytes);

// Every undo file in <safetyFolder>/undo, newest first; not the record of an undo
// that was not made (what it names is not taken back).
std::vector<Entry> all(const std::string &safetyFolder);
// The undo file at `path` as listed; none when it is no regular file.
std::optional<Entry> entryOf(const std::string &path);
// The undo files in <safetyFolder>/undo not yet taken back, newest first.
std::vector<Entry> pending(const std::string &safetyFolder);
// What an undo takes back next, newest first: the edits and redos not yet taken
// back (records of undos wait for a redo).
std::vector<Entry> undoable(const std::string &safetyFolder);
// The record of an undo that a redo takes back: the newest one not taken back
// among the files written since the last edit; none once an edit came after it.
std::optional<Entry> redoable(const std::string &safetyFolder);

// What taking `entry` back makes: the record's kind and its description ("undo
// of 3 items deleted", "redo of 3 items deleted").
Kind recordKind(const Entry &entry);
std::string recordDescription(const Entry &entry);
// `bytes` marked as the record of taking back `takenBack`, and the same for the
// file at `path` ("" or what failed).
std::string asRecord(const std::string &bytes, Kind kind, const std::string &takenBack);
std::string markRecord(const std::string &path, Kind kind, const std::string &takenBack);
// Marks the file as taken back: a comment line appended, a few bytes that a full
// disk still takes (TakeBack appends it inside the undo's unit, so that a crash
// leaves the undo and its mark both or neither). "" or what failed.
std::string markTakenBack(const std::string &path);
// Cuts that line off again, when it is the file's last.
void unmarkTakenBack(const std::string &path);

// The bounds of the undo folder: files older than `maxAgeSeconds` go, then the
// oldest until all left hold at most `maxBytes`; none written at or after
// `runningSince` (by the running program). Returns the files removed.
struct Limits
{
    long long maxAgeSeconds = 30LL * 24 * 60 * 60;
    std::uintmax_t maxBytes = std::uintmax_t(500) * 1024 * 1024;
};
std::vector<std::string> prune(const std::string &safetyFolder, const Limits &limits,
                               std::time_t now, std::time_t runningSince);

} // namespace UndoFiles
