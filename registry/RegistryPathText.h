// A key named by a root's display name and a path below it, in the forms the
// program meets: leading, trailing and doubled backslashes do not count.
#pragma once

#include "registry/platform/winreg.h"

#include <string>
#include <string_view>
#include <vector>

class RegistryPathText
{
public:
    RegistryPathText(std::string_view rootName, std::string_view keyPath);
    // From a path that starts with the root's display name (HKEY_CURRENT_USER\Software).
    static RegistryPathText fromFull(std::string_view fullPath);

    HKEY root() const { return m_root; } // null for a name that is no root's
    const std::string &rootName() const { return m_rootName; }
    const std::vector<std::string> &parts() const { return m_parts; }
    // The parts joined by single backslashes; empty for the root itself.
    const std::string &below() const { return m_below; }
    std::string full() const { return m_below.empty() ? m_rootName : m_rootName + "\\" + m_below; }

private:
    HKEY m_root = nullptr;
    std::string m_rootName;
    std::vector<std::string> m_parts;
    std::string m_below;
};
