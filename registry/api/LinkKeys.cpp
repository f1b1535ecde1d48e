// Symbolic links as the registry object sees them. The calls tell a link only by
// where it leads: opened as itself (REG_OPTION_OPEN_LINK) and opened the usual
// way it is two keys, or it opens only as itself (a link that leads nowhere). A
// key that merely holds a "SymbolicLinkValue" is the same key either way.
#include "registry/api/PathSteps.h"
#include "registry/api/TRegistry.h"
#include "registry/win32/WideText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct LinkValue
{
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes;

    bool operator==(const LinkValue &) const = default;
};

LinkValue ReadLinkValue(HKEY key)
{
    static const std::u16string units = WideFromBytes("SymbolicLinkValue");
    static const std::basic_string<WCHAR> name(units.begin(), units.end());
    LinkValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.bytes.resize(std::size_t(size) + 2);
    DWORD count = size + 2;
    value.present = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.bytes.data(),
                                     &count) == ERROR_SUCCESS;
    value.bytes.resize(value.present ? count : 0);
    return value;
}

struct KeyShape
{
    DWORD subkeys = 0;
    DWORD values = 0;
    FILETIME written{};

    bool operator==(const KeyShape &o) const
    {
        return subkeys == o.subkeys && values == o.values &&
               written.dwLowDateTime == o.written.dwLowDateTime &&
               written.dwHighDateTime == o.written.dwHighDateTime;
    }
};

KeyShape ShapeOf(HKEY key)
{
    KeyShape shape;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &shape.subkeys, nullptr, nullptr,
                     &shape.values, nullptr, nullptr, nullptr, &shape.written);
    return shape;
}

} // namespace

bool TRegistry::IsLinkAt(HKEY base, const std::string &stripped, HKEY self) const
{
    const LinkValue own = ReadLinkValue(self);
    // Without a link value only an empty key may be a link (one that leads
    // nowhere): most keys are told apart without a second open.
    const KeyShape shape = ShapeOf(self);
    if (own.type != REG_LINK && (shape.subkeys > 0 || shape.values > 0)) return false;
    const HKEY followed = OpenStepped(base, stripped, 0);
    if (!followed) return true; // it opens, but only as itself
    const bool same = ReadLinkValue(followed) == own && ShapeOf(followed) == shape;
    RegCloseKey(followed);
    return !same;
}

bool TRegistry::IsLink(const std::string &path)
{
    const ResolvedPath p = Resolve(path);
    const HKEY self = OpenStepped(p.base, p.stripped, REG_OPTION_OPEN_LINK);
    if (!self) return false;
    const bool link = IsLinkAt(p.base, p.stripped, self);
    RegCloseKey(self);
    return link;
}

HKEY TRegistry::CreateLinkHandle(const std::string &path) const
{
    const ResolvedPath p = Resolve(path);
    const SteppedPath at(p.base, p.stripped, true);
    HKEY handle = nullptr;
    if (!at.reached() || RegCreateKeyExA(at.base(), at.last(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                         kAllAccess, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}

bool TRegistry::CreateLinkPath(const std::string &path)
{
    const HKEY handle = CreateLinkHandle(path);
    if (!handle) return false;
    TakeOpenedKey(handle, Resolve(path));
    return true;
}
