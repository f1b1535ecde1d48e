// One registry the program can work on, whatever keeps it, and the kinds of
// them. A kind (SourceKind) knows where a registry of it is and opens it as a
// source (RegistrySource): the keys the Win32 calls work on, and what keeps
// them (saves, a lock, backups, undo files, change units). RegistryFiles.h
// works on the source that is open and knows no kind; each kind lives in a
// folder of its own (registry/wine/: Wine prefixes and Quarnel's own registry)
// and is listed once, in registry/kinds/SourceKinds.cpp.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

class KeyStore;
class SourceKind;

// Asks the user a yes/no question; true for yes.
using AskUser = std::function<bool(const std::string &question)>;

// What a registry is opened for. To read it only (a search, an export, a listing),
// nothing is written into its folder: no lock, no journal, no file of Wine's; the
// changes an earlier run journaled are shown, not saved. It opens ReadOnly.
// As a copy, its files are read as they stand (an earlier run's journal is not
// read either) into keys that refuse every change: another registry beside the
// one worked on, or a backup to compare with.
enum class OpenFor
{
    Change,
    Reading,
    Copy
};

struct RegistryOpened
{
    enum class Status
    {
        Ok,       // open and writable
        ReadOnly, // loaded, but changes are refused (Wine running, unreadable file...)
        Failed    // no registry: the calls work on an empty registry in memory
    } status = Status::Failed;
    std::string directory;            // the folder (or file) it was opened from
    const SourceKind *kind = nullptr; // what opened it
    std::string message;              // for the user; empty when there is nothing to say
    // Undo files of undos the last run was ended in the middle of (nothing of
    // them was applied; `message` names them): offer to apply them again.
    std::vector<std::string> undosCutShort;
};

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
        // another user's folder, Wine started beside us, a copy.
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

// An open registry. A source that only reads keeps the defaults of everything
// a change needs.
class RegistrySource
{
public:
    virtual ~RegistrySource() = default;

    // The keys the Win32 calls work on while it is open.
    virtual std::shared_ptr<KeyStore> store() const = 0;
    // Why it takes no changes now (kind None while it takes them).
    virtual RegistryRefusal refusal() const = 0;
    // Saves, then lets go of its files and its lock. "" or a message for the user.
    virtual std::string close() = 0;

    // Saves what changed once nothing has changed for `quiet`; "" or a message.
    virtual std::string flushIfIdle(std::chrono::milliseconds /*quiet*/) { return {}; }
    // Why a change failed that its caller cannot explain, once; "" when nothing is new.
    virtual std::string takeNotice() { return {}; }
    // A backup before the first change of the session (see RegistryFiles.h).
    virtual std::string backupBeforeFirstChange() { return {}; }
    // Where its backups and undo files go, and the names of the files a backup
    // holds (Backups.h); none by default.
    virtual std::string safetyFolder() const { return {}; }
    virtual std::span<const char *const> backupFiles() const { return {}; }
    virtual void setBackupsKept(std::size_t /*keep*/) {}
    virtual std::string restoreBackup(const std::string & /*backupFolder*/, std::string &madeBackup)
    {
        madeBackup.clear();
        return "This registry is open read-only; nothing was restored.";
    }
    // A compound change as one unit (ChangeUnit.h): all of it reaches the
    // registry's files, or none of it.
    virtual void beginUnit(const std::string & /*description*/, const std::string & /*undoFile*/,
                           const std::string & /*record*/)
    {
    }
    virtual bool endUnit(bool keep, std::string & /*error*/) { return keep; }
};

// A kind of registry: where one is, and how it is opened and read.
class SourceKind
{
public:
    // How much of a registry of this kind a location holds.
    enum class Holding
    {
        None,
        // One being made, or with a file that is damaged or missing: it can be
        // opened, and the opening says what is wrong.
        Part,
        Whole, // listed where it is found
    };

    virtual ~SourceKind() = default;

    virtual Holding holds(const std::string &location) const = 0;
    // Why a location named as a registry holds none of this kind, in a few words.
    virtual std::string noneText() const = 0;
    // The files the registry at `location` is kept in (their sizes and times are
    // what a chooser shows).
    virtual std::vector<std::string> files(const std::string &location) const = 0;
    // Opens the registry at `location` for `purpose` (not a copy); `opened`
    // says how that went. Null when it Failed.
    virtual std::unique_ptr<RegistrySource> open(const std::string &location, const AskUser &ask,
                                                 OpenFor purpose, RegistryOpened &opened) const = 0;
    // Its keys as its files stand, in a store that refuses every change
    // (RegistryCopy::refusingStore): nothing locked, nothing written, fit for a
    // thread of its own. Null, with `error`, when a file cannot be read. With
    // `holding` (Matcher::textEveryHitHolds), keys a search cannot find may be
    // left out where that changes nothing it finds.
    virtual std::shared_ptr<KeyStore> readCopy(const std::string &location, std::string &error,
                                               std::string_view holding = {}) const = 0;
    // Whether a program runs on it now that writes its files (Wine).
    virtual bool inUse(const std::string & /*location*/) const { return false; }
};

} // namespace quarnel::platform
