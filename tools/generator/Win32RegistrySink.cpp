#include "tools/generator/Win32RegistrySink.h"

#include <stdexcept>
#include <string>

namespace quarnel::generator {

Win32RegistrySink::~Win32RegistrySink()
{
    closeAll();
}

void Win32RegistrySink::beginKey(Hive hive, std::string_view path, std::size_t depth)
{
    if (depth != m_open.size() + 1)
        throw std::logic_error("key begun out of order: " + std::string(path));
    const std::size_t slash = path.rfind('\\');
    const std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    const HKEY parent =
        m_open.empty() ? (hive == Hive::Machine ? HKEY_LOCAL_MACHINE : HKEY_USERS) : m_open.back();
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot create key " + std::string(path) + " (error " +
                                 std::to_string(rc) + ")");
    m_open.push_back(key);
    m_path = path;
}

void Win32RegistrySink::addValue(const GeneratedValue &value)
{
    if (m_open.empty()) throw std::logic_error("value outside a key: " + value.name);
    const LONG rc = RegSetValueExA(m_open.back(), value.name.c_str(), 0, value.type,
                                   reinterpret_cast<const BYTE *>(value.data.data()),
                                   static_cast<DWORD>(value.data.size()));
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot set value " + m_path + "\\" + value.name + " (error " +
                                 std::to_string(rc) + ")");
}

void Win32RegistrySink::endKey()
{
    if (m_open.empty()) throw std::logic_error("endKey without beginKey");
    RegCloseKey(m_open.back());
    m_open.pop_back();
}

void Win32RegistrySink::finish()
{
    closeAll();
}

void Win32RegistrySink::closeAll()
{
    while (!m_open.empty()) {
        RegCloseKey(m_open.back());
        m_open.pop_back();
    }
}

} // namespace quarnel::generator
