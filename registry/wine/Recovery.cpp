#include "registry/wine/Recovery.h"

#include "registry/source/Backups.h"
#include "registry/wine/WinePrefix.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace quarnel::platform::wine {

Recovery planRecovery(const std::vector<JournalRecord> &records, const FileId onDisk[3])
{
    Recovery plan;
    for (uint8_t hive = 0; hive < 3; ++hive) {
        bool known = false;
        plan.changes[hive] = changesNotIn(records, hive, onDisk[hive], known);
        plan.count += plan.changes[hive].size();
        if (!known && !plan.changes[hive].empty()) plan.filesChanged = true;
    }
    return plan;
}

std::string recoveryQuestion(std::size_t count, const std::string &directory)
{
    return "Quarnel found " + std::to_string(count) +
           " change(s) from its last run that had not reached the registry files in " + directory +
           ". The files have changed on disk since those changes were made (perhaps by Wine), "
           "so applying them now may undo what was written meanwhile.\n\nApply the " +
           std::to_string(count) +
           " change(s) anyway? Otherwise Quarnel leaves the files as they are and keeps the "
           "changes aside in a file beside them.";
}

std::string recoveredMessage(std::size_t count)
{
    return "Quarnel recovered " + std::to_string(count) +
           " change(s) from its last run that had not reached the registry files.";
}

std::string keptAsideMessage(std::size_t count, const std::string &keptPath)
{
    return "Quarnel did not apply " + std::to_string(count) +
           " change(s) from its last run, because the registry files had changed since. They "
           "are kept in " +
           keptPath + ". To apply them later, close Quarnel, rename that file to " + kJournalFile +
           " and start Quarnel again.";
}

std::string cutShortMessage(const JournalUnit &unit)
{
    std::string text = "Quarnel was ended in the middle of " + unit.description +
                       ". None of it was applied: those keys and values are as they were before.";
    if (!unit.undoFile.empty())
        text += " The undo file is " + unit.undoFile + "; the undo can be applied again.";
    return text;
}

std::string restoreCutShortMessage(const JournalRestore &restore, bool finished)
{
    if (!restore.ready)
        return "Quarnel was ended as it began to restore the backup " + restore.backup +
               ". Nothing of it was restored: the registry is as it was before.";
    if (finished)
        return "Quarnel was ended in the middle of restoring the backup " + restore.backup +
               " and has finished that restore now: the registry is the backup's. The registry "
               "as it was before is in the backup " +
               restore.madeBefore + ".";
    return "Quarnel was ended in the middle of restoring the backup " + restore.backup +
           ", so the registry files may be partly the backup's. Quarnel finishes the restore "
           "when it opens this registry to change it.";
}

std::string droppedJournalMessage(const std::string &journalPath, const JournalGaps &gaps, bool cut)
{
    return "The journal " + journalPath + " holds " + std::to_string(gaps.droppedBytes) +
           " byte(s) from byte " + std::to_string(gaps.droppedAt) +
           " on that are no change Quarnel can read (damaged, or written by another program). " +
           (cut ? "They were dropped; the changes before them were kept."
                : "They were left unread; the changes before them are shown.");
}

std::string setJournalAside(const std::string &journalPath, std::time_t when, std::string &error)
{
    const std::string base = journalPath + ".kept-" + timeStamp(when);
    for (int n = 1; n <= 1000; ++n) {
        const std::string to = base + (n == 1 ? "" : "-" + std::to_string(n));
        if (::renameat2(AT_FDCWD, journalPath.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return to;
        if (errno != EEXIST) {
            error = "cannot rename " + journalPath + " to " + to + ": " + std::strerror(errno);
            return {};
        }
    }
    error = "no free name for " + base;
    return {};
}

} // namespace quarnel::platform::wine
