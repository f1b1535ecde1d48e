// The seven predefined root keys in display order (the root index).
#pragma once

#include "registry/win32/winreg.h"

#include <array>
#include <string_view>

struct RootEntry
{
    std::string_view displayName;
    HKEY handle;
    std::string_view shortName; // as reg and other tools take it: HKCU
};

constexpr int kRootCount = 7;

// Index 4 is HKEY_CURRENT_CONFIG and 5 HKEY_PERFORMANCE_DATA: display order, not handle order.
inline const std::array<RootEntry, kRootCount> &RootTable()
{
    static const std::array<RootEntry, kRootCount> table = {{
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, "HKCR"},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER, "HKCU"},
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, "HKLM"},
        {"HKEY_USERS", HKEY_USERS, "HKU"},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG, "HKCC"},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA, "HKPD"},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA, "HKDD"},
    }};
    return table;
}

// The handle of the root with exactly this display name (case counts), or null.
inline HKEY RootHandleByName(std::string_view name)
{
    for (const RootEntry &entry : RootTable())
        if (entry.displayName == name) return entry.handle;
    return nullptr;
}
