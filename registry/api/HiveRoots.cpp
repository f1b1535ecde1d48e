// Which keys the registry never deletes. The Win32 calls cannot be asked before
// the fact, and DeleteTree must know before it empties a key: emptying one that
// then refuses to go would lose everything below it. They are the keys at the
// top of the registry's one tree: \REGISTRY, the keys directly below it
// (Machine, User), and the hives mounted there (every key directly below User;
// on Windows also below Machine). A key's place in that tree follows from the
// root it is reached from and, where its path runs through a symbolic link,
// from the link's target.
#include "registry/api/TRegistry.h"
#include "registry/win32/AsciiText.h"
#include "registry/win32/WideText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Branch
{
    Machine,
    User,
    Other
};

// Where a key lies: the branch below \REGISTRY and how many names deep.
struct Place
{
    Branch branch;
    std::size_t depth;
};

// Deep enough that nothing below it counts as a hive root.
constexpr std::size_t kSomewhereDeep = 64;

Place PlaceOfRoot(HKEY root)
{
    switch (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(root))) {
    case 0x80000000u: return {Branch::Machine, 3}; // Machine\Software\Classes
    case 0x80000001u: return {Branch::User, 2};    // User\<the user's SID>
    case 0x80000002u: return {Branch::Machine, 1};
    case 0x80000003u: return {Branch::User, 1};
    case 0x80000005u: return {Branch::Machine, 5}; // ...\Hardware Profiles\Current
    case 0x80000004u:
    case 0x80000006u: return {Branch::Other, 1};
    default: return {Branch::Other, kSomewhereDeep}; // an opened key: not a root
    }
}

bool IsHiveRootPlace(const Place &place)
{
    if (place.depth <= 1) return true;
#ifdef _WIN32
    const bool mountsHives = place.branch == Branch::User || place.branch == Branch::Machine;
#else
    const bool mountsHives = place.branch == Branch::User;
#endif
    return place.depth == 2 && mountsHives;
}

bool SameAsciiName(std::u16string_view name, std::string_view ascii)
{
    if (name.size() != ascii.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (asciiLower(name[i]) != char16_t(asciiLower(ascii[i]))) return false;
    }
    return true;
}

// The place a link's target names (an NT path, \REGISTRY\Machine\..., UTF-16LE);
// false for a target outside the registry.
bool PlaceOfTarget(const std::string &bytes, Place &place)
{
    std::vector<std::u16string> names(1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = utf16leUnit(&bytes[i]);
        if (unit == u'\0') break;
        if (unit == u'\\')
            names.emplace_back();
        else
            names.back() += unit;
    }
    std::erase_if(names, [](const std::u16string &n) { return n.empty(); });
    if (names.empty() || !SameAsciiName(names[0], "REGISTRY")) return false;
    Branch branch = Branch::Other;
    if (names.size() > 1 && SameAsciiName(names[1], "MACHINE")) branch = Branch::Machine;
    if (names.size() > 1 && SameAsciiName(names[1], "USER")) branch = Branch::User;
    place = {branch, names.size() - 1};
    return true;
}

// The target of `key` when it is a symbolic link opened as itself.
bool LinkTargetOf(HKEY key, std::string &target)
{
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_LINK)
        return false;
    target.assign(size, '\0');
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type,
                            reinterpret_cast<LPBYTE>(target.data()), &size) == ERROR_SUCCESS;
}

} // namespace

bool TRegistry::IsHiveRoot(const std::vector<std::string> &names) const
{
    Place place = PlaceOfRoot(m_rootHandle);
    // The key itself is what goes, a link as itself; only the keys on the way are
    // followed, one name at a time, so paths of any length are walked.
    HKEY at = m_rootHandle, owned = nullptr;
    std::size_t walked = 0;
    for (; walked + 1 < names.size(); ++walked) {
        const char *name = names[walked].c_str();
        HKEY next = nullptr;
        if (RegOpenKeyExA(at, name, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &next) != ERROR_SUCCESS)
            break; // not walkable: the rest is counted by its names
        std::string target;
        Place linked{};
        if (LinkTargetOf(next, target) && PlaceOfTarget(target, linked)) {
            RegCloseKey(next);
            next = nullptr;
            if (RegOpenKeyExA(at, name, 0, 0, &next) != ERROR_SUCCESS)
                break; // leads nowhere, so nothing below it opens or goes
            place = linked;
        } else {
            ++place.depth;
        }
        if (owned) RegCloseKey(owned);
        owned = at = next;
    }
    if (owned) RegCloseKey(owned);
    place.depth += names.size() - walked;
    return IsHiveRootPlace(place);
}
