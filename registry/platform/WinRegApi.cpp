// Our implementation of the ten Win32 registry calls, on the active KeyStore.
// Results follow Wine's advapi32: text is kept as UTF-16 and converted at these
// 8-bit calls (UTF-8 being the 8-bit code page), maximum lengths are exact, and
// enumeration follows the store's sorted order.
#include "winreg.h"

#include "KeyStore.h"
#include "RegText.h"

#include <cstring>
#include <string>
#include <vector>

using quarnel::platform::activeStore;
using quarnel::platform::RegKey;
using quarnel::platform::RegValue;

namespace quarnel::platform {

namespace {

constexpr std::size_t kMaxKeyNameUnits = 255;
constexpr std::size_t kMaxValueNameUnits = 16383;
constexpr int kMaxLinkHops = 16;

class HandleTable
{
public:
    HKEY add(std::shared_ptr<RegKey> key)
    {
        std::size_t slot;
        if (!m_free.empty()) {
            slot = m_free.back();
            m_free.pop_back();
            m_slots[slot] = std::move(key);
        } else {
            slot = m_slots.size();
            m_slots.push_back(std::move(key));
        }
        return reinterpret_cast<HKEY>(static_cast<uintptr_t>((slot + 1) * 4));
    }

    RegKey *find(HKEY h) const
    {
        const std::size_t slot = slotOf(h);
        return slot < m_slots.size() ? m_slots[slot].get() : nullptr;
    }

    bool remove(HKEY h)
    {
        const std::size_t slot = slotOf(h);
        if (slot >= m_slots.size() || !m_slots[slot])
            return false;
        m_slots[slot].reset();
        m_free.push_back(slot);
        return true;
    }

    void clear()
    {
        m_slots.clear();
        m_free.clear();
    }

private:
    static std::size_t slotOf(HKEY h)
    {
        const auto v = reinterpret_cast<uintptr_t>(h);
        if (v == 0 || v % 4 != 0)
            return SIZE_MAX;
        return v / 4 - 1;
    }

    std::vector<std::shared_ptr<RegKey>> m_slots;
    std::vector<std::size_t> m_free;
};

HandleTable &handles()
{
    static HandleTable table;
    return table;
}

bool isPredefined(HKEY h)
{
    const auto v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
    const auto high = reinterpret_cast<uintptr_t>(h) >> 32;
    return (high == 0 || high == 0xFFFFFFFFu) && v >= 0x80000000u && v <= 0x80000006u &&
           reinterpret_cast<intptr_t>(h) == static_cast<intptr_t>(static_cast<int32_t>(v));
}

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::u16string toUtf16(LPCSTR text)
{
    return text ? utf16FromBytes(text) : std::u16string();
}

// Stored data of a string type is UTF-16LE; whole units only, as Wine reads it.
std::u16string unitsOf(std::span<const uint8_t> data)
{
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

std::vector<uint8_t> bytesOfUnits(std::u16string_view units)
{
    std::vector<uint8_t> data(units.size() * 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        data[2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
        data[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
    return data;
}

// The value's data as the 8-bit calls deliver it.
std::string externalData(const RegValue &value)
{
    if (isStringType(value.type))
        return bytesFromUtf16(unitsOf(value.data()));
    return std::string(value.data().begin(), value.data().end());
}

LONG resolveHandle(HKEY h, RegKey *&key)
{
    key = nullptr;
    if (isPredefined(h)) {
        KeyStore &store = activeStore();
        const auto v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
        switch (v) {
        case 0x80000000u: key = &store.ensurePath(store.machine(), u"Software\\Classes"); break;
        case 0x80000001u: key = &store.ensurePath(store.users(), store.currentUserSid); break;
        case 0x80000002u: key = &store.machine(); break;
        case 0x80000003u: key = &store.users(); break;
        case 0x80000005u:
            key = &store.ensurePath(store.machine(),
                                    u"System\\CurrentControlSet\\Hardware Profiles\\Current");
            break;
        case 0x80000006u: {
            // Dynamic data is a volatile key that nothing fills.
            bool created;
            key = &store.top().addSubkey(u"DynData", created);
            key->isVolatile = true;
            break;
        }
        default: return ERROR_INVALID_HANDLE; // performance data has no key
        }
        return ERROR_SUCCESS;
    }
    key = handles().find(h);
    if (!key)
        return ERROR_INVALID_HANDLE;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

std::vector<std::u16string_view> splitPath(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

RegKey *followLink(RegKey *link, int &hops);

// Resolves an absolute NT path (\Registry\Machine\...) from the store's top key.
RegKey *keyAtNtPath(std::u16string_view path, int &hops)
{
    const auto parts = splitPath(path);
    RegKey *key = &activeStore().top();
    if (parts.empty() || !sameName(parts[0], key->name))
        return nullptr;
    for (std::size_t i = 1; i < parts.size() && key; ++i) {
        key = key->findSubkey(parts[i]);
        if (key && key->isLink)
            key = followLink(key, hops);
    }
    return key;
}

// `hops` counts every link followed for one path, so that links pointing at each
// other (or at their own ancestors) end the walk instead of nesting forever.
RegKey *followLink(RegKey *link, int &hops)
{
    if (++hops > kMaxLinkHops)
        return nullptr;
    const RegValue *target = link->findValue(u"SymbolicLinkValue");
    if (!target || target->type != REG_LINK)
        return nullptr;
    std::u16string path = unitsOf(target->data());
    while (!path.empty() && path.back() == u'\0')
        path.pop_back();
    RegKey *key = keyAtNtPath(path, hops);
    // A link to itself or to one of its ancestors would make the tree endless.
    if (key && link->isDescendantOf(*key))
        return nullptr;
    return key;
}

LONG checkNameLength(std::u16string_view name, std::size_t limit)
{
    return name.size() > limit ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

// Walks `path` below `base`, creating missing keys when asked.
LONG walkPath(RegKey *base, LPCSTR path8, DWORD options, bool create, RegKey *&out, bool &created)
{
    created = false;
    if (path8 && path8[0] == '\\')
        return ERROR_BAD_PATHNAME;
    const std::u16string path = toUtf16(path8);
    const auto parts = splitPath(path);
    for (const auto part : parts)
        if (LONG rc = checkNameLength(part, kMaxKeyNameUnits))
            return rc;
    RegKey *key = base;
    int hops = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        RegKey *child = key->findSubkey(parts[i]);
        if (child && child->isLink && !(last && (options & REG_OPTION_OPEN_LINK))) {
            child = followLink(child, hops);
            if (!child)
                return ERROR_FILE_NOT_FOUND;
        }
        if (!child) {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            const bool wantVolatile = (options & REG_OPTION_VOLATILE) != 0;
            if (key->isVolatile && !wantVolatile && key != &activeStore().top())
                return ERROR_CHILD_MUST_BE_VOLATILE;
            KeyStore &store = activeStore();
            if (long rc = store.hooks().beforeChange(*key))
                return static_cast<LONG>(rc);
            bool isNew;
            child = &key->addSubkey(parts[i], isNew);
            child->isVolatile = wantVolatile || key->isVolatile;
            key->lastWriteTime = child->lastWriteTime;
            created = true;
            store.hooks().afterChange(*child, StoreChange::KeyCreated, child->name);
        }
        key = child;
    }
    out = key;
    return ERROR_SUCCESS;
}

template <typename T> void setIf(T *out, T value)
{
    if (out)
        *out = value;
}

// Copies `text` with its NUL into a caller's buffer of *length bytes, as the
// enumeration calls do; leaves *length alone when it does not fit.
LONG deliverName(const std::string &text, LPSTR buffer, LPDWORD length)
{
    if (text.size() >= *length)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    *length = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

// Copies value data into a caller's buffer, appending a NUL after string data
// that lacks one when there is room, as Wine's 8-bit calls do.
LONG deliverData(const RegValue &value, LPBYTE data, LPDWORD count)
{
    const std::string bytes = externalData(value);
    LONG rc = ERROR_SUCCESS;
    if (data) {
        if (bytes.size() > *count) {
            rc = ERROR_MORE_DATA;
        } else {
            std::memcpy(data, bytes.data(), bytes.size());
            if (isStringType(value.type) && !bytes.empty() && bytes.size() < *count &&
                bytes.back() != '\0')
                data[bytes.size()] = 0;
        }
    }
    setIf(count, static_cast<DWORD>(bytes.size()));
    return rc;
}

} // namespace

void invalidateAllHandles()
{
    handles().clear();
}

} // namespace quarnel::platform

using namespace quarnel::platform;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base)) {
        *phkResult = nullptr;
        return rc;
    }
    RegKey *key;
    bool created;
    if (LONG rc = walkPath(base, lpSubKey, ulOptions, false, key, created)) {
        *phkResult = nullptr;
        return rc;
    }
    *phkResult = handles().add(key->shared_from_this());
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD dwOptions,
                               REGSAM, const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                               LPDWORD lpdwDisposition)
{
    if (Reserved)
        return ERROR_INVALID_PARAMETER;
    if (!phkResult)
        return ERROR_BADKEY;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base))
        return rc;
    RegKey *key;
    bool created;
    if (LONG rc = walkPath(base, lpSubKey, dwOptions, true, key, created))
        return rc;
    *phkResult = handles().add(key->shared_from_this());
    setIf<DWORD>(lpdwDisposition, created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (isPredefined(hKey))
        return ERROR_SUCCESS;
    return handles().remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;

    // Lengths are in UTF-16 units and data sizes in stored bytes, as Wine reports them.
    DWORD maxSubkey = 0, maxValueName = 0, maxData = 0;
    for (const auto &child : key->subkeys)
        maxSubkey = std::max<DWORD>(maxSubkey, static_cast<DWORD>(child->name.size()));
    for (const auto &value : key->values) {
        maxValueName = std::max<DWORD>(maxValueName, static_cast<DWORD>(value.name().size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(value.data().size()));
    }
    LONG rc = ERROR_SUCCESS;
    if (lpcchClass) {
        const std::string cls = bytesFromUtf16(key->className());
        if (lpClass) {
            if (cls.size() >= *lpcchClass) {
                rc = ERROR_MORE_DATA;
            } else {
                std::memcpy(lpClass, cls.data(), cls.size());
                lpClass[cls.size()] = '\0';
            }
        }
        *lpcchClass = static_cast<DWORD>(cls.size());
    }
    setIf(lpcSubKeys, static_cast<DWORD>(key->subkeys.size()));
    setIf(lpcbMaxSubKeyLen, maxSubkey);
    setIf(lpcbMaxClassLen, static_cast<DWORD>(key->className().size()));
    setIf(lpcValues, static_cast<DWORD>(key->values.size()));
    setIf(lpcbMaxValueNameLen, maxValueName);
    setIf(lpcbMaxValueLen, maxData);
    setIf<DWORD>(lpcbSecurityDescriptor, 0);
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(key->lastWriteTime);
        lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(key->lastWriteTime >> 32);
    }
    return rc;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime)
{
    if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;
    if (dwIndex >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    const RegKey &child = *key->subkeys[dwIndex];
    LONG rc = deliverName(bytesFromUtf16(child.name), lpName, lpcchName);
    if (rc == ERROR_SUCCESS && lpClass)
        rc = deliverName(bytesFromUtf16(child.className()), lpClass, lpcchClass);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(child.lastWriteTime);
        lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(child.lastWriteTime >> 32);
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;
    if (dwIndex >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const RegValue &value = key->values[dwIndex];
    LONG rc = deliverData(value, lpData, lpcbData);
    if (rc == ERROR_SUCCESS)
        rc = deliverName(bytesFromUtf16(value.name()), lpValueName, lpcchValueName);
    setIf(lpType, static_cast<DWORD>(value.type));
    return rc;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    if ((lpData && !lpcbData) || lpReserved)
        return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;
    const std::u16string name = toUtf16(lpValueName);
    if (LONG rc = checkNameLength(name, kMaxValueNameUnits))
        return rc;
    const RegValue *value = key->findValue(name);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    setIf(lpType, static_cast<DWORD>(value->type));
    return deliverData(*value, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                              DWORD cbData)
{
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;
    const std::u16string name = toUtf16(lpValueName);
    if (LONG rc = checkNameLength(name, kMaxValueNameUnits))
        return rc;
    std::vector<uint8_t> data;
    if (isStringType(dwType)) {
        const std::string_view bytes(reinterpret_cast<const char *>(lpData), lpData ? cbData : 0);
        data = bytesOfUnits(utf16FromBytes(bytes));
    } else if (lpData) {
        data.assign(lpData, lpData + cbData);
    }
    KeyStore &store = activeStore();
    if (long rc = store.hooks().beforeChange(*key))
        return static_cast<LONG>(rc);
    key->setValue(name, dwType, data);
    key->lastWriteTime = KeyStore::now();
    store.hooks().afterChange(*key, StoreChange::ValueSet, name);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key))
        return rc;
    const std::u16string name = toUtf16(lpValueName);
    if (!key->findValue(name))
        return ERROR_FILE_NOT_FOUND;
    KeyStore &store = activeStore();
    if (long rc = store.hooks().beforeChange(*key))
        return static_cast<LONG>(rc);
    key->removeValue(name);
    key->lastWriteTime = KeyStore::now();
    store.hooks().afterChange(*key, StoreChange::ValueDeleted, name);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base))
        return rc;
    RegKey *key;
    bool created;
    if (LONG rc = walkPath(base, lpSubKey, REG_OPTION_OPEN_LINK, false, key, created))
        return rc;
    KeyStore &store = activeStore();
    // Roots of hives and of the predefined views are not deletable.
    if (!key->subkeys.empty() || !key->parent || key->parent == &store.top() ||
        key->parent == &store.users())
        return ERROR_ACCESS_DENIED;
    RegKey &parent = *key->parent;
    if (long rc = store.hooks().beforeChange(parent))
        return static_cast<LONG>(rc);
    const std::u16string name = key->name; // the key may be freed by the removal
    parent.removeSubkey(*key);
    parent.lastWriteTime = KeyStore::now();
    store.hooks().afterChange(parent, StoreChange::SubkeyDeleted, name);
    return ERROR_SUCCESS;
}

} // extern "C"
