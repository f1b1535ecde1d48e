#include "registry/kinds/SourceKinds.h"

#include "registry/wine/WineKinds.h"
#include "registry/wine/WinePrefix.h"

#include <array>

namespace quarnel::platform {

std::span<const SourceKind *const> sourceKinds()
{
    // The first that holds a location takes it: Quarnel's own registry, in the
    // same files as a prefix, is chosen by where it is (ownRegistryKind()).
    static const std::array<const SourceKind *, 2> kinds{
        &wine::prefixKind(),
        &wine::ownRegistryKind(),
    };
    return kinds;
}

const SourceKind *kindHolding(const std::string &location, SourceKind::Holding least)
{
    for (const SourceKind *kind : sourceKinds())
        if (kind->holds(location) >= least) return kind;
    return nullptr;
}

const SourceKind &defaultKind()
{
    return *sourceKinds().front();
}

const SourceKind &ownRegistryKind()
{
    return wine::ownRegistryKind();
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

std::string defaultRegistryDirectory()
{
    const wine::RegistryLocation where = wine::chooseRegistry();
    return where.error.empty() ? where.directory : std::string();
}

RegistryOpened openRegistryAt(const std::string &directory, bool isWinePrefix, const AskUser &ask,
                              OpenFor purpose)
{
    return openRegistryAt(isWinePrefix ? wine::prefixKind() : wine::ownRegistryKind(), directory,
                          ask, purpose);
}

std::shared_ptr<KeyStore> readRegistryCopy(const std::string &location, std::string &error,
                                           std::string_view holding)
{
    const SourceKind *kind = kindHolding(location);
    return (kind ? *kind : defaultKind()).readCopy(location, error, holding);
}

} // namespace quarnel::platform
