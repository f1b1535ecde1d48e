#include "registry/source/RegistryFiles.h"

#include "registry/source/Backups.h"
#include "registry/win32/KeyStore.h"
#include "registry/wine/FileBackedStore.h"
#include "registry/wine/ServerLock.h"
#include "registry/wine/WinePrefix.h"

#include <cerrno>
#include <memory>

#include <signal.h>

namespace quarnel::platform {

namespace {

std::unique_ptr<wine::FileBackedStore> &current()
{
    static std::unique_ptr<wine::FileBackedStore> store;
    return store;
}

// What the opening said about a registry it opened read-only.
std::string &readOnlyMessage()
{
    static std::string message;
    return message;
}

std::string &safetyFolderOverride()
{
    static std::string folder;
    return folder;
}

std::size_t &backupsKept()
{
    static std::size_t keep = kBackupsKept;
    return keep;
}

} // namespace

RegistryOpened openRegistryAt(const std::string &directory, bool isWinePrefix, const AskUser &ask,
                              OpenFor purpose)
{
    closeRegistry();
    auto store = std::make_unique<wine::FileBackedStore>();
    store->setBackupsKept(backupsKept());
    const auto opened = store->open(directory, isWinePrefix, ask, purpose == OpenFor::Reading);
    RegistryOpened result;
    result.directory = directory;
    result.isWinePrefix = isWinePrefix;
    result.message = opened.message;
    result.undosCutShort = opened.undosCutShort;
    switch (opened.status) {
    case wine::FileBackedStore::Status::Ok: result.status = RegistryOpened::Status::Ok; break;
    case wine::FileBackedStore::Status::ReadOnly:
        result.status = RegistryOpened::Status::ReadOnly;
        break;
    case wine::FileBackedStore::Status::Failed: return result;
    }
    setActiveStore(store->store());
    current() = std::move(store);
    if (result.status == RegistryOpened::Status::ReadOnly) readOnlyMessage() = result.message;
    return result;
}

RegistryOpened openRegistry(const AskUser &ask, OpenFor purpose)
{
    const wine::RegistryLocation where = wine::chooseRegistry();
    if (!where.error.empty()) {
        RegistryOpened result;
        result.directory = where.directory;
        result.message = where.error;
        return result;
    }
    return openRegistryAt(where.directory, where.isWinePrefix, ask, purpose);
}

std::vector<BackupListed> listBackups()
{
    const std::string folder = safetyFolder();
    std::vector<BackupListed> listed;
    if (folder.empty()) return listed;
    for (const BackupFolder &backup : platform::listBackups(folder, wine::kHiveFiles))
        listed.push_back({folder + "/" + backup.name, backup.made, backup.bytes});
    return listed;
}

void setBackupsKept(std::size_t keep)
{
    backupsKept() = keep < 1 ? 1 : keep;
    if (auto &store = current()) store->setBackupsKept(backupsKept());
}

std::string restoreBackup(const std::string &backupFolder, std::string &madeBackup)
{
    madeBackup.clear();
    auto &store = current();
    if (!store) return "No registry files are open; there is nothing to restore into.";
    return store->restoreBackup(backupFolder, madeBackup);
}

RegistryOpened reopenRegistry(const AskUser &ask)
{
    auto &store = current();
    if (!store) {
        RegistryOpened none;
        none.message = "No registry files are open.";
        return none;
    }
    const std::string directory = store->directory();
    const bool isWinePrefix = store->isWinePrefix();
    const std::string closed = closeRegistry();
    RegistryOpened opened = openRegistryAt(directory, isWinePrefix, ask);
    if (!closed.empty())
        opened.message = closed + (opened.message.empty() ? "" : "\n") + opened.message;
    return opened;
}

std::string defaultRegistryDirectory()
{
    const wine::RegistryLocation where = wine::chooseRegistry();
    return where.error.empty() ? where.directory : std::string();
}

void beginChangeUnit(const std::string &description, const std::string &undoFile,
                     const std::string &record)
{
    if (auto &store = current()) store->beginUnit({description, undoFile, record});
}

bool endChangeUnit(bool keep, std::string &error)
{
    auto &store = current();
    return store ? store->endUnit(keep, error) : keep;
}

std::shared_ptr<KeyStore> readRegistryCopy(const std::string &directory, std::string &error,
                                           std::string_view holding)
{
    return wine::readRegistryCopy(directory, error, holding);
}

std::string flushRegistryIfIdle(int quietMs)
{
    auto &store = current();
    return store ? store->flushIfIdle(std::chrono::milliseconds(quietMs)) : std::string();
}

std::string closeRegistry()
{
    auto &store = current();
    if (!store) return {};
    std::string message = store->close();
    setActiveStore(std::make_shared<KeyStore>());
    store.reset();
    readOnlyMessage().clear();
    return message;
}

std::string closeRegistryForExit()
{
    auto &store = current();
    if (!store) return {};
    std::string message = store->close();
    (void)store.release(); // deliberately left: the process ends
    readOnlyMessage().clear();
    return message;
}

std::string takeRegistryNotice()
{
    auto &store = current();
    return store ? store->takeNotice() : std::string();
}

std::string backupBeforeFirstChange()
{
    auto &store = current();
    return store ? store->backupBeforeFirstChange() : std::string();
}

std::string safetyFolder()
{
    auto &store = current();
    return store ? store->safetyFolder() : safetyFolderOverride();
}

void setSafetyFolderOverride(const std::string &folder)
{
    safetyFolderOverride() = folder;
}

RegistryRefusal registryRefusal()
{
    auto &store = current();
    RegistryRefusal refusal;
    if (!store) return refusal;
    if (!store->isReadOnly()) {
        refusal.detail = store->refusalReason();
        if (!refusal.detail.empty()) refusal.kind = RegistryRefusal::Kind::Other;
        refusal.directory = store->directory();
        return refusal;
    }
    refusal = store->lockRefusal();
    refusal.directory = store->directory();
    switch (refusal.kind) {
    case RegistryRefusal::Kind::WineRunning:
        // Asked afresh: the Wine of the opening may be gone, or another one running.
        if (const pid_t server = wine::runningWineServer(refusal.directory))
            refusal.holder = server;
        else
            refusal.holderEnded = true;
        break;
    case RegistryRefusal::Kind::InUse:
        // A process id taken by another program since counts as ended too.
        refusal.holderEnded = (::kill(refusal.holder, 0) != 0 && errno == ESRCH) ||
                              wine::processName(refusal.holder) != refusal.holderName;
        break;
    case RegistryRefusal::Kind::None:
        refusal.kind = RegistryRefusal::Kind::Other;
        refusal.detail = readOnlyMessage().empty() ? "The registry in " + store->directory() +
                                                         " is open read-only; nothing can be "
                                                         "changed."
                                                   : readOnlyMessage();
        break;
    case RegistryRefusal::Kind::NotLocked:
    case RegistryRefusal::Kind::Other: break;
    }
    return refusal;
}

std::string writeUndoFile(const std::string &kind, const std::string &bytes, std::string &path)
{
    path.clear();
    const std::string folder = safetyFolder();
    if (folder.empty())
        return "Quarnel has no registry folder to keep the undo file in; nothing was changed.";
    std::string error;
    path = platform::writeUndoFile(folder, kind, bytes, std::time(nullptr), true, error);
    if (path.empty())
        return "Quarnel cannot write the undo file for this edit, so it has changed nothing.\n" +
               error;
    return {};
}

} // namespace quarnel::platform
