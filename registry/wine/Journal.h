// An append-only record of every change since the registry files were last
// saved. Each change is one write() before it is made, so it survives the
// process being killed; a record cut short by a crash is detected by its length
// and checksum and ignored, and one cut short by a failed write is cut off.
// Beside the changes it keeps the identity of each hive file they were made
// against, so that a file changed since by someone else is noticed.
//
// A record names its key by what it shares with the key of the previous record
// of its hive, so that a record costs what the change costs, not what the
// key's depth costs. Such a chain starts afresh (the first record names its key
// in full) at the start of the journal and after each record naming the hive's
// file; so the changes after such a record stand on their own.
//
// The changes of one compound edit (a key tree deleted, a key moved, an undo)
// stand between a unit's opening and closing marks: a unit whose closing mark
// never made it (the program was ended in its middle) is not replayed.
#pragma once

#include "registry/source/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarnel::platform::wine {

struct JournalRecord
{
    enum Op : uint8_t
    {
        KeyCreated = 1, // `type` 1 marks a symbolic link
        ValueSet = 2,
        ValueDeleted = 3,
        SubkeyDeleted = 4,
        KeyMarked = 5, // `name` is the key's class; `type` 1 marks a symbolic link
        HiveFile = 6,  // the hive's file is (or is about to be) the one in `data`
        UnitBegin = 7, // `data`: JournalUnit's texts, each but the last ended by a NUL
        UnitEnd = 8,
        Restore = 9 // a backup being restored (JournalRestore)
    };
    Op op = KeyCreated;
    uint8_t hive = 0;
    uint64_t time = 0; // the key's last-write time after the change
    // The key below the hive's root: the first `kept` keys of the previous
    // record's key (of this hive), then `path`, its components joined by '\'.
    // KeyCreated's key is the new one; SubkeyDeleted's the parent.
    uint32_t kept = 0;
    std::u16string path;
    std::u16string name; // value name, or the deleted subkey's name
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// The hive number of the unit marks, which belong to no hive.
inline constexpr uint8_t kNoHive = 0xff;

// A compound change whose records the journal holds between two marks.
struct JournalUnit
{
    std::string description; // "the deletion of HKEY_CURRENT_USER\\Software\\X"
    std::string undoFile;    // for an undo: the undo file it applied
    std::string record;      // and the undo file it wrote (see registry/undo/TakeBack.h)
    // The undo file's size as the unit began: what the undo appended to it since
    // (its mark) goes when the undo is cut short. -1: not known.
    int64_t undoFileSize = -1;
};

JournalRecord unitBeginRecord(const JournalUnit &unit);
JournalRecord unitEndRecord();

// A backup being restored. Its files are written aside first; once all of them
// are (`ready`), they take the places of the registry's. The journal is emptied
// when they have: a journal that still holds this was ended in the middle.
struct JournalRestore
{
    std::string backup;     // the backup folder restored
    std::string madeBefore; // the backup of the registry as it was before
    bool ready = false;
    FileId files[3]; // for each hive restored, the file written aside (else !exists)
};

JournalRecord restoreRecord(const JournalRestore &restore);

// What reading a journal left out.
struct JournalGaps
{
    // Units the journal holds without their closing mark; their records are dropped.
    std::vector<JournalUnit> cutShort;
    // A restore the journal holds (its last record): one that was not finished.
    std::optional<JournalRestore> restore;
    // Bytes after the last whole record: a record cut short by a crash, or
    // `damaged` when they cannot be one (garbage, a record that fails its checks).
    uint64_t droppedBytes = 0;
    uint64_t droppedAt = 0;
    bool damaged = false;
};

class Journal
{
public:
    Journal() = default;
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;
    ~Journal() { close(); }

    // Opens (creating) the journal and reads the records it holds, a piece at a
    // time: whatever follows the last whole record is cut off the file and
    // described in `gaps`. The records hold no unit marks, and none of a unit
    // cut short. A file that is not a journal (or no regular file, or a link)
    // is left as it is: `error` says so.
    bool open(const std::string &path, std::vector<JournalRecord> &records, JournalGaps &gaps,
              std::string &error);
    // Opens the journal read-only and returns its records (for a registry opened read-only).
    static bool peek(const std::string &path, std::vector<JournalRecord> &records,
                     std::string &error, JournalGaps *gaps = nullptr);

    // Writes the record, or nothing: a write that fails halfway is cut off again.
    // When even that fails, isSound() turns false.
    bool append(const JournalRecord &record, std::string &error);
    // Whether a record of `hive` appended now may keep keys of the previous one
    // (`kept` > 0): false at the start, after a record naming the hive's file or
    // one that failed, and in a journal of the earlier format.
    bool follows(uint8_t hive) const { return hive < 3 && m_follows[hive]; }
    // Replaces the journal's content with these records (those not yet saved;
    // each hive's in their order, starting with one that names its key in full).
    bool rewrite(const std::vector<JournalRecord> &records, std::string &error);
    // Empties the journal once everything in it has reached the registry files,
    // leaving only `start` (the identities of the files saved).
    bool reset(const std::vector<JournalRecord> &start, std::string &error);
    // Cuts the journal back to `end` (an earlier end()), dropping what was appended since.
    bool truncateTo(uint64_t end, std::string &error);
    void close();

    const std::string &path() const { return m_path; }
    // Where the next record goes.
    uint64_t end() const { return m_end; }
    bool isOpen() const { return m_fd >= 0; }
    // False once a failed write could not be cut off: nothing may be appended then.
    bool isSound() const { return m_sound; }

private:
    std::string m_path;
    int m_fd = -1;
    uint64_t m_end = 0; // where the intact records end
    bool m_sound = true;
    bool m_legacy = false; // written by the earlier format, whose records name keys in full
    bool m_follows[3] = {};
};

// The record saying that `hive`'s file is `id`.
JournalRecord hiveFileRecord(uint8_t hive, const FileId &id);

// The changes to `hive` that its file `onDisk` does not hold: those after the
// last record naming that file. `known` false: the journal never named it, so
// the file changed after the changes were made; all of the hive's are returned.
std::vector<JournalRecord> changesNotIn(const std::vector<JournalRecord> &records, uint8_t hive,
                                        const FileId &onDisk, bool &known);

} // namespace quarnel::platform::wine
