// Writes the generated registry through the Win32 calls (RegCreateKeyExA,
// RegSetValueExA) into whatever the active store is, below HKEY_LOCAL_MACHINE
// and HKEY_USERS. Each key is created relative to its open parent, so filling
// costs one name lookup per key rather than one per path component.
#pragma once

#include "tools/generator/RegistrySink.h"

#include "registry/win32/winreg.h"

#include <vector>

namespace quarnel::generator {

class Win32RegistrySink final : public RegistrySink
{
public:
    Win32RegistrySink() = default;
    ~Win32RegistrySink() override;
    Win32RegistrySink(const Win32RegistrySink &) = delete;
    Win32RegistrySink &operator=(const Win32RegistrySink &) = delete;

    // Throws std::runtime_error naming the key or value when a call fails.
    void beginKey(Hive hive, std::string_view path, std::size_t depth) override;
    void addValue(const GeneratedValue &value) override;
    void endKey() override;
    void finish() override;

private:
    void closeAll();

    std::vector<HKEY> m_open; // the open key of each level, parent before child
    std::string m_path;       // of the innermost open key, for error texts
};

} // namespace quarnel::generator
