// A registry read as its files stand, for reading only: the source a registry
// opened as a copy is (OpenFor::Copy), whatever its kind. Nothing is locked or
// written, and every change is refused.
#pragma once

#include "registry/source/RegistrySource.h"

namespace quarnel::platform {

class RegistryCopy final : public RegistrySource
{
public:
    // `store`: what a kind's readCopy() gave.
    RegistryCopy(std::shared_ptr<KeyStore> store, std::string location);

    // An empty store whose every change is refused, for a kind's reader to fill.
    static std::shared_ptr<KeyStore> refusingStore();

    std::shared_ptr<KeyStore> store() const override { return m_store; }
    RegistryRefusal refusal() const override;
    std::string close() override { return {}; }

private:
    std::shared_ptr<KeyStore> m_store;
    std::string m_location;
};

} // namespace quarnel::platform
