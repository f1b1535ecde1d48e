#include "registry/source/RegistryCopy.h"

#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"

namespace quarnel::platform {

namespace {

class RefusingHooks final : public StoreHooks
{
public:
    long beforeChange(const RegKey &) override { return ERROR_ACCESS_DENIED; }
};

} // namespace

RegistryCopy::RegistryCopy(std::shared_ptr<KeyStore> store, std::string location)
    : m_store(std::move(store)), m_location(std::move(location))
{
}

std::shared_ptr<KeyStore> RegistryCopy::refusingStore()
{
    auto store = std::make_shared<KeyStore>();
    store->setHooks(std::make_shared<RefusingHooks>());
    return store;
}

RegistryRefusal RegistryCopy::refusal() const
{
    RegistryRefusal refusal;
    refusal.kind = RegistryRefusal::Kind::Other;
    refusal.directory = m_location;
    refusal.detail = "The registry in " + m_location +
                     " is open as a copy of its files, to read only; nothing can be changed.";
    return refusal;
}

} // namespace quarnel::platform
