// A KeyStore whose three hives live in the registry files of a Wine prefix (or
// of Quarnel's own registry directory). Every change is journaled before it is
// made, and a change that cannot be journaled is not made; changed hives are
// saved when the caller is idle and at close. While open, the registry is
// locked against Wine and other Quarnels; if it cannot be locked, Wine runs on
// it, or a file cannot be read, it opens read-only. The source of both kinds of
// WineKinds.h.
#pragma once

#include "registry/source/AtomicFile.h"
#include "registry/source/Backups.h"
#include "registry/source/RegistrySource.h"
#include "registry/win32/KeyStore.h"
#include "registry/wine/Journal.h"
#include "registry/wine/KeyTrail.h"
#include "registry/wine/Recovery.h"
#include "registry/wine/ServerLock.h"
#include "registry/wine/WineRegReader.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quarnel::platform::wine {

class FileBackedStore final : public RegistrySource
{
public:
    enum class Status
    {
        Ok,       // writable; `message` may carry a notice (recovered changes)
        ReadOnly, // loaded, but every change is refused; `message` says why
        Failed    // nothing loaded; `message` says why
    };
    struct OpenResult
    {
        Status status = Status::Failed;
        std::string message;
        // Undo files of undos an earlier run was ended in the middle of (none of
        // it was applied): the caller may offer to apply them again.
        std::vector<std::string> undosCutShort;
    };

    FileBackedStore();
    ~FileBackedStore() override;
    FileBackedStore(const FileBackedStore &) = delete;
    FileBackedStore &operator=(const FileBackedStore &) = delete;

    // `isWinePrefix` false: Quarnel's own directory, created with the standard
    // keys when it holds no registry yet. Journaled changes of an earlier run
    // are applied; when the files changed on disk after they were made,
    // `confirmRecovery` decides (none: no), and a no keeps them aside.
    // `forReading`: opened read-only, and nothing is written into the directory
    // (no lock, no journal, no folder made); journaled changes are only shown.
    OpenResult open(const std::string &directory, bool isWinePrefix,
                    const Confirm &confirmRecovery = {}, bool forReading = false);

    // Saves the changed hives. Returns "" or a message for the user.
    std::string flush();
    // Saves when something changed and nothing has changed for `quiet`. After a
    // failed save it waits a while before trying again, and repeats no message.
    std::string flushIfIdle(std::chrono::milliseconds quiet) override;
    // Saves, then lets go of the files and the lock.
    std::string close() override;

    std::shared_ptr<KeyStore> store() const override { return m_store; }
    const std::string &directory() const { return m_directory; }
    bool isReadOnly() const { return m_readOnly; }
    // Why it takes no changes: the lock it could not take (who holds it, asked
    // afresh), or why a store opened writable takes none any more (Wine started
    // beside us, a journal that cannot be trusted), or why it opened read-only.
    RegistryRefusal refusal() const override;
    bool hasUnsavedChanges() const;
    // Whether saves wait for the data to reach the disk (on by default).
    void setSyncToDisk(bool sync) { m_sync = sync; }

    // The registry as it stands, copied into the safety folder before the first
    // change of the session; the first change makes it when nobody asked
    // earlier. None is made while the files are as Quarnel last saved its own
    // changes into them, after a backup: the undo files hold those. Returns ""
    // (made now or before, not needed, or nothing can change) or a message for
    // the user. While there is none, every change is refused.
    std::string backupBeforeFirstChange() override;
    // <directory>/quarnel-backups
    std::string safetyFolder() const override;
    std::span<const char *const> backupFiles() const override;
    // How many backups are kept (the newest; kBackupsKept unless set).
    void setBackupsKept(std::size_t keep) override { m_backupsKept = keep; }

    // Puts the registry files of the backup folder `backupFolder` in place of the
    // registry's: first saves every change and backs the registry up as it is
    // now (`madeBackup`: that folder). One unit: the backup's files are all
    // written aside before the first takes its place, and a start after a kill
    // finds the registry as it was or finishes the restore, and says which. The
    // keys in memory stay as they were: close and open the registry afterwards.
    // Returns "" or why nothing (or, rarely, not yet all) was replaced.
    std::string restoreBackup(const std::string &backupFolder, std::string &madeBackup) override;
    // The backup made this session, or "".
    const std::string &backupFolder() const { return m_backupFolder; }

    // Why a change failed that no caller can explain (the journal could not be
    // written), once: "" afterwards until a change was journaled again.
    std::string takeNotice() override;

    // A compound change (a key tree deleted, a key moved, an undo) as one unit:
    // its records stand between two marks in the journal, so that a start after
    // a crash in its middle applies none of it, and a unit that cannot be
    // journaled whole is taken back whole. Units nest; the outermost one counts.
    // Nothing is saved while a unit is open.
    void beginUnit(const std::string &description, const std::string &undoFile,
                   const std::string &record) override;
    // Closes a unit. For the outermost one: `keep` false, or a change of it that
    // could not be journaled, takes back every change it made. Returns false
    // when the unit was (or, nested, will be) taken back; `error` then says why
    // when the registry did (not the caller).
    bool endUnit(bool keep, std::string &error) override;

private:
    class Hooks;
    struct Hive
    {
        RegKey *root = nullptr;
        Preamble preamble;
        FileId id;
        bool dirty = false;
        bool loaded = false;
    };

    long beforeChange(const RegKey &key);
    long recordChange(const RegKey &key, const PendingChange &change);
    // A change could not be journaled: the change and its unit fail, and the user hears why once.
    long journalFailed(const std::string &error);
    std::string pathOf(int hive) const;
    // Reads the hive's file, puts these journaled changes to it on top, and
    // makes that the hive's content.
    bool loadHive(int hive, const std::vector<JournalRecord> &changes, std::string &error);
    // Which file each hive was loaded from or saved to, for the journal.
    std::vector<JournalRecord> hiveFiles() const;
    // Applies an earlier run's changes, or keeps them aside; adds what the user
    // must know to `message`.
    void recover(const Recovery &plan, const Confirm &confirm, std::string &message);
    void goReadOnly(const std::string &why, std::string &message);
    bool saveHive(int hive, std::string &error);
    RegistryRefusal lockRefusalOf(pid_t holder, const std::string &error) const;
    // Why changes are refused by a store opened writable, or "" while it takes them.
    std::string refusalReason() const;
    bool createOwnRegistry(std::string &error);
    // Whether this session's changes may be made: a backup was made, or the files
    // are as Quarnel last saved its own changes (the newest backup and the undo
    // files since hold every change; a script's edits push no backup out).
    bool backedUp();
    bool makeBackup();
    // A restore's file written beside the hive's (kRestoreSuffix), with its permissions.
    bool writeAside(int hive, const std::string &text, FileId &written, std::string &error);
    // Puts the files a restore wrote aside in place, those not there yet.
    bool finishRestore(const JournalRestore &restore, std::string &error);
    void removeRestoreFiles();
    // At the start: finishes a restore that was ended once its files were ready (a
    // registry that cannot be changed is only told), and removes what one left.
    void settleRestore(const std::optional<JournalRestore> &restore, std::string &message);
    // Cuts the journal back to where the open unit began and reloads the hives it
    // changed from their files and the journal's other changes.
    bool takeBackUnit(std::string &error);

    std::shared_ptr<KeyStore> m_store;
    std::shared_ptr<Hooks> m_hooks;
    std::string m_directory;
    Hive m_hives[3];
    ServerLock m_lock;
    // Why open() could not lock the registry (Wine on it, another program
    // holding it); kind None when it could, or when it is read-only for another reason.
    RegistryRefusal m_lockRefusal;
    std::string m_readOnlyMessage; // what the opening said when it opened read-only
    Journal m_journal;
    KeyTrail m_trail;           // the key of each hive's last record
    std::string m_journalError; // set once the journal cannot be trusted with more changes
    std::string m_notice;
    bool m_journalFailing = false; // the last change could not be journaled
    bool m_readOnly = true;
    bool m_isWinePrefix = false;
    bool m_wineStarted = false; // Wine began running on the prefix while we had it open
    std::string m_wineStartedMessage;
    bool m_sync = true;
    std::chrono::steady_clock::time_point m_lastChange;
    std::chrono::steady_clock::time_point m_retryAfter;
    std::string m_lastFailure;
    std::string m_backupFolder;
    std::string m_backupFailure; // why the backup failed; changes are refused meanwhile
    // Every change to the files since the newest backup is Quarnel's own, with its
    // undo file: saved, the files are noted as such (writeSavedFiles).
    bool m_covered = false;
    bool m_backupCovers = false; // this session needs no backup of its own
    std::size_t m_backupsKept = kBackupsKept;

    struct OpenUnit
    {
        int depth = 0;
        JournalUnit unit;
        bool marked = false; // its opening mark is in the journal
        bool failed = false; // a change of it could not be journaled: it is taken back
        uint64_t start = 0;  // where the journal ended before its opening mark
        unsigned hives = 0;  // bit i: it changed hive i
    } m_unit;
};

// The registry in `directory` as its files stand, in a store of its own that
// refuses every change (RegistryCopy::refusingStore): no lock, no journal read
// or written, nothing saved, a Wine running on it no obstacle. A missing user.reg or userdef.reg
// leaves its keys empty; null, with `error`, when a file is there but cannot be read. With
// `holding` (a text every hit of a search holds, Matcher::textEveryHitHolds), only the sections of
// the files that may hold it are read where that is exact (see sectionsHolding): the keys a search
// finds, with their values, and the keys above them.
std::shared_ptr<KeyStore> readRegistryCopy(const std::string &directory, std::string &error,
                                           std::string_view holding = {});

// The text of a registry file cut down to the sections that may hold `needle`
// when ASCII letters fold: its lines before the first section, every section
// (a blank line and a key's line up to the next such) whose text holds it,
// links, and string values written as hex, into `sections`. False when that
// would not be exact: for a text that Wine and Quarnel write escaped (a control
// character, a backslash, a quote, a bracket, anything beyond ASCII), or that a
// name the store makes by itself may hold ("Software", "Current"...). A file
// that escapes plain ASCII letters (neither writes one so) may hold more.
bool sectionsHolding(std::string_view text, std::string_view needle, std::string &sections);

} // namespace quarnel::platform::wine
