// A key named by a root's display name and a path below it. The one reader of
// a key path typed by the user or held in a file (--key, export, import, Go to
// key): the root's display name or its short form (HKCU) in any letter case,
// after an optional "Computer\" or "My Computer\"; leading, trailing and
// doubled backslashes do not count.
#pragma once

#include "registry/win32/winreg.h"

#include <string>
#include <string_view>
#include <vector>

class RegistryPathText
{
public:
    // From a root's exact display name and a path below it.
    RegistryPathText(std::string_view rootName, std::string_view keyPath);
    // From a whole path as typed: HKEY_CURRENT_USER\Software, hkcu\Software,
    // Computer\HKLM\System. Text around it is kept: a key name may end in a blank.
    static RegistryPathText fromFull(std::string_view fullPath);
    // From a path the user typed or pasted (Go to key, --key, export): the white
    // space around it is no part of it.
    static RegistryPathText fromTyped(std::string_view typedPath);

    HKEY root() const { return m_root; }          // null for a name that is no root's
    int rootIndex() const { return m_rootIndex; } // in RootTable(); -1 with no root
    // The root's display name; the first name as typed when it names no root.
    const std::string &rootName() const { return m_rootName; }
    const std::vector<std::string> &parts() const { return m_parts; }
    // The parts joined by single backslashes; empty for the root itself.
    const std::string &below() const { return m_below; }
    std::string full() const { return m_below.empty() ? m_rootName : m_rootName + "\\" + m_below; }

private:
    RegistryPathText() = default;
    void setRoot(std::string_view name, bool anyCase);
    void addParts(const std::vector<std::string_view> &names, std::size_t first);

    HKEY m_root = nullptr;
    int m_rootIndex = -1;
    std::string m_rootName;
    std::vector<std::string> m_parts;
    std::string m_below;
};
