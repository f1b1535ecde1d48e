#include "registry/wine/WineKinds.h"

#include "registry/wine/FileBackedStore.h"
#include "registry/wine/ServerLock.h"
#include "registry/wine/WinePrefix.h"

namespace quarnel::platform::wine {

namespace {

class WineFilesKind final : public SourceKind
{
public:
    explicit WineFilesKind(bool isWinePrefix) : m_isWinePrefix(isWinePrefix) {}

    Holding holds(const std::string &location) const override { return winePrefixAt(location); }
    std::string noneText() const override { return "not a Wine prefix (it has no system.reg)"; }
    std::vector<std::string> files(const std::string &location) const override
    {
        std::vector<std::string> paths;
        for (const char *file : kHiveFiles)
            paths.push_back(location + "/" + file);
        return paths;
    }
    std::unique_ptr<RegistrySource> open(const std::string &location, const AskUser &ask,
                                         OpenFor purpose, RegistryOpened &opened) const override
    {
        auto store = std::make_unique<FileBackedStore>();
        const FileBackedStore::OpenResult result =
            store->open(location, m_isWinePrefix, ask, purpose != OpenFor::Change);
        opened.message = result.message;
        opened.undosCutShort = result.undosCutShort;
        switch (result.status) {
        case FileBackedStore::Status::Ok: opened.status = RegistryOpened::Status::Ok; break;
        case FileBackedStore::Status::ReadOnly:
            opened.status = RegistryOpened::Status::ReadOnly;
            break;
        case FileBackedStore::Status::Failed: return nullptr;
        }
        return store;
    }
    std::shared_ptr<KeyStore> readCopy(const std::string &location, std::string &error,
                                       std::string_view holding) const override
    {
        return readRegistryCopy(location, error, holding);
    }
    bool inUse(const std::string &location) const override
    {
        return m_isWinePrefix && runningWineServer(location) != 0;
    }

private:
    bool m_isWinePrefix;
};

} // namespace

const SourceKind &prefixKind()
{
    static const WineFilesKind kind(true);
    return kind;
}

const SourceKind &ownRegistryKind()
{
    static const WineFilesKind kind(false);
    return kind;
}

} // namespace quarnel::platform::wine
