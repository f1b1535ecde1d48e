// Changes an earlier run journaled that did not reach the registry files: which
// of them each file lacks, whether the files changed on disk after they were
// made (then the user decides), and keeping them aside when the answer is no.
#pragma once

#include "registry/wine/Journal.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace quarnel::platform::wine {

// Asks the user a yes/no question; true for yes.
using Confirm = std::function<bool(const std::string &question)>;

struct Recovery
{
    std::vector<JournalRecord> changes[3]; // per hive, in the order they were made
    std::size_t count = 0;
    // Some file with changes to apply is not the one they were made against:
    // someone else wrote it after them, and applying them may undo that.
    bool filesChanged = false;
};

// `onDisk`: the identity of each hive's file as it is now.
Recovery planRecovery(const std::vector<JournalRecord> &records, const FileId onDisk[3]);

std::string recoveryQuestion(std::size_t count, const std::string &directory);
std::string recoveredMessage(std::size_t count);
std::string keptAsideMessage(std::size_t count, const std::string &keptPath);
// A compound change the last run was ended in the middle of: none of it was applied.
std::string cutShortMessage(const JournalUnit &unit);
// A restore the last run was ended in the middle of: `finished` now (its files
// were all written aside), or, when they were not, none of it done.
std::string restoreCutShortMessage(const JournalRestore &restore, bool finished);
// Bytes after the journal's last whole record that cannot be a change cut short;
// `cut`: they were cut off the file (else only left unread).
std::string droppedJournalMessage(const std::string &journalPath, const JournalGaps &gaps,
                                  bool cut);

// Renames the journal to "<journal>.kept-<YYYY-MM-DD_HH-MM-SS>" (with a suffix
// when taken), never over anything. Returns the new path, or "" with `error` set.
std::string setJournalAside(const std::string &journalPath, std::time_t when, std::string &error);

} // namespace quarnel::platform::wine
