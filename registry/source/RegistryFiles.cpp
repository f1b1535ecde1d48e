#include "registry/source/RegistryFiles.h"

#include "registry/source/Backups.h"
#include "registry/source/RegistryCopy.h"
#include "registry/win32/KeyStore.h"

#include <memory>

namespace quarnel::platform {

namespace {

// The registry that is open, and what opened it: reopenRegistry() opens it again.
struct OpenSource
{
    std::unique_ptr<RegistrySource> source;
    const SourceKind *kind = nullptr;
    std::string location;
    OpenFor purpose = OpenFor::Change;
};

OpenSource &current()
{
    static OpenSource open;
    return open;
}

RegistrySource *source()
{
    return current().source.get();
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

std::unique_ptr<RegistrySource> readAsCopy(const SourceKind &kind, const std::string &location,
                                           RegistryOpened &opened)
{
    std::shared_ptr<KeyStore> store = kind.readCopy(location, opened.message);
    if (!store) return nullptr;
    opened.status = RegistryOpened::Status::ReadOnly;
    return std::make_unique<RegistryCopy>(std::move(store), location);
}

} // namespace

RegistryOpened openRegistryAt(const SourceKind &kind, const std::string &location,
                              const AskUser &ask, OpenFor purpose)
{
    closeRegistry();
    RegistryOpened opened;
    opened.directory = location;
    opened.kind = &kind;
    std::unique_ptr<RegistrySource> source = purpose == OpenFor::Copy
                                                 ? readAsCopy(kind, location, opened)
                                                 : kind.open(location, ask, purpose, opened);
    if (!source) {
        opened.status = RegistryOpened::Status::Failed;
        return opened;
    }
    source->setBackupsKept(backupsKept());
    setActiveStore(source->store());
    current() = {std::move(source), &kind, location, purpose};
    return opened;
}

std::vector<BackupListed> listBackups()
{
    std::vector<BackupListed> listed;
    RegistrySource *open = source();
    if (!open || open->safetyFolder().empty()) return listed;
    const std::string folder = open->safetyFolder();
    for (const BackupFolder &backup : platform::listBackups(folder, open->backupFiles()))
        listed.push_back({folder + "/" + backup.name, backup.made, backup.bytes});
    return listed;
}

void setBackupsKept(std::size_t keep)
{
    backupsKept() = keep < 1 ? 1 : keep;
    if (RegistrySource *open = source()) open->setBackupsKept(backupsKept());
}

std::string restoreBackup(const std::string &backupFolder, std::string &madeBackup)
{
    madeBackup.clear();
    RegistrySource *open = source();
    if (!open) return "No registry files are open; there is nothing to restore into.";
    return open->restoreBackup(backupFolder, madeBackup);
}

RegistryOpened reopenRegistry(const AskUser &ask)
{
    if (!source()) {
        RegistryOpened none;
        none.message = "No registry files are open.";
        return none;
    }
    const OpenSource &open = current();
    const SourceKind &kind = *open.kind;
    const std::string location = open.location;
    const OpenFor purpose = open.purpose;
    const std::string closed = closeRegistry();
    RegistryOpened opened = openRegistryAt(kind, location, ask, purpose);
    if (!closed.empty())
        opened.message = closed + (opened.message.empty() ? "" : "\n") + opened.message;
    return opened;
}

void beginChangeUnit(const std::string &description, const std::string &undoFile,
                     const std::string &record)
{
    if (RegistrySource *open = source()) open->beginUnit(description, undoFile, record);
}

bool endChangeUnit(bool keep, std::string &error)
{
    RegistrySource *open = source();
    return open ? open->endUnit(keep, error) : keep;
}

std::string flushRegistryIfIdle(int quietMs)
{
    RegistrySource *open = source();
    return open ? open->flushIfIdle(std::chrono::milliseconds(quietMs)) : std::string();
}

std::string closeRegistry()
{
    OpenSource &open = current();
    if (!open.source) return {};
    std::string message = open.source->close();
    setActiveStore(std::make_shared<KeyStore>());
    open = {};
    return message;
}

std::string closeRegistryForExit()
{
    OpenSource &open = current();
    if (!open.source) return {};
    std::string message = open.source->close();
    (void)open.source.release(); // deliberately left: the process ends
    open = {};
    return message;
}

std::string takeRegistryNotice()
{
    RegistrySource *open = source();
    return open ? open->takeNotice() : std::string();
}

std::string backupBeforeFirstChange()
{
    RegistrySource *open = source();
    return open ? open->backupBeforeFirstChange() : std::string();
}

std::string safetyFolder()
{
    RegistrySource *open = source();
    return open ? open->safetyFolder() : safetyFolderOverride();
}

void setSafetyFolderOverride(const std::string &folder)
{
    safetyFolderOverride() = folder;
}

RegistryRefusal registryRefusal()
{
    RegistrySource *open = source();
    return open ? open->refusal() : RegistryRefusal();
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
