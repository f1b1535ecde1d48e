// Our implementation of the ten Win32 registry calls, on the active KeyStore.
// Results follow Wine's advapi32: text is kept as UTF-16 and converted at these
// 8-bit calls (UTF-8 being the 8-bit code page), maximum lengths are exact, and
// enumeration follows the store's sorted order.
#include "registry/win32/winreg.h"

#include "registry/win32/HandleTable.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/PathWalk.h"
#include "registry/win32/RegText.h"
#include "registry/win32/WideText.h"

#include <bit>
#include <cstring>
#include <string>
#include <vector>

using quarnel::platform::activeStore;
using quarnel::platform::RegKey;
using quarnel::platform::ValueRef;

namespace quarnel::platform {

namespace {

std::u16string toUtf16(LPCSTR text)
{
    return text ? utf16FromBytes(text) : std::u16string();
}

// A name or path a lookup converts: into a buffer kept for the next call, as the
// walk's lookups come by the million. The view lasts until the next conversion.
std::u16string_view scratchUtf16(LPCSTR text)
{
    thread_local std::u16string buffer; // a registry may be read on another thread beside
    if (text)
        utf16FromBytes(text, buffer);
    else
        buffer.clear();
    return buffer;
}

std::vector<uint8_t> bytesOfUnits(std::u16string_view units)
{
    return utf16leBytes<std::vector<uint8_t>>(units);
}

// Its size, without building it: size queries are frequent and data can be large.
std::size_t externalSize(const ValueRef &value)
{
    if (isStringType(value.type)) return byteLengthOfUtf16(value.data().units());
    return value.data().size();
}

// The value a query names, tried first at the place after the one the previous
// query found: walkers list a key's names and then read them in turn, and an
// ASCII name compared by its bytes spares the conversion and the search.
std::optional<ValueRef> findQueriedValue(const RegKey &key, LPCSTR name)
{
    thread_local std::size_t next = 0;
    const std::string_view bytes = name ? std::string_view(name) : std::string_view();
    if (next < key.values.size()) {
        const ValueRef guess = key.values[next];
        const UnitText stored = guess.name();
        if (stored.isNarrow() && stored.size() == bytes.size() &&
            (bytes.empty() || std::memcmp(stored.narrowUnits(), bytes.data(), bytes.size()) == 0) &&
            isAscii(bytes)) {
            ++next;
            return guess;
        }
    }
    bool found;
    const std::size_t pos = key.values.position(scratchUtf16(name), found);
    if (!found) return std::nullopt;
    next = pos + 1;
    return key.values[pos];
}

template <typename T> void setIf(T *out, T value)
{
    if (out) *out = value;
}

// Copies `text` as 8-bit text with its NUL into a caller's buffer of *length
// bytes, as the enumeration calls do; leaves *length alone when it does not fit.
LONG deliverName(UnitText text, LPSTR buffer, LPDWORD length)
{
    const std::size_t size = byteLengthOfUtf16(text);
    if (size >= *length) return ERROR_MORE_DATA;
    writeBytesOfUtf16(text, buffer, size);
    buffer[size] = '\0';
    *length = static_cast<DWORD>(size);
    return ERROR_SUCCESS;
}

// As deliverName, but a name that does not fit is still delivered cut short
// (RegEnumValueA does this).
LONG deliverNameTruncated(UnitText text, LPSTR buffer, LPDWORD length)
{
    if (deliverName(text, buffer, length) == ERROR_SUCCESS) return ERROR_SUCCESS;
    if (*length) {
        const std::string bytes = bytesFromUtf16(text);
        std::memcpy(buffer, bytes.data(), *length - 1);
        buffer[*length - 1] = '\0';
    }
    return ERROR_MORE_DATA;
}

// Copies value data into a caller's buffer, appending a NUL after string data
// that lacks one when there is room, as Wine's 8-bit calls do.
LONG deliverData(const ValueRef &value, LPBYTE data, LPDWORD count)
{
    // Listing names asks for neither: the size would be measured for nothing.
    if (!data && !count) return ERROR_SUCCESS;
    const bool isString = isStringType(value.type);
    if (isString && data) {
        // Narrow text in a buffer with room for its longest form is measured
        // while it is written: one pass over it instead of two.
        const UnitText text = value.data().units();
        if (text.isNarrow() && text.size() <= *count / 2) {
            const std::size_t size = writeBytesOfNarrowText(text, reinterpret_cast<char *>(data));
            if (size > 0 && size < *count && data[size - 1] != 0) data[size] = 0;
            *count = static_cast<DWORD>(size);
            return ERROR_SUCCESS;
        }
    }
    const std::size_t size = externalSize(value);
    if (!data) {
        setIf(count, static_cast<DWORD>(size));
        return ERROR_SUCCESS;
    }
    LONG rc = ERROR_SUCCESS;
    if (size > *count) {
        rc = ERROR_MORE_DATA;
    } else if (isString) {
        writeBytesOfUtf16(value.data().units(), reinterpret_cast<char *>(data), size);
        if (size > 0 && size < *count && data[size - 1] != 0) data[size] = 0;
    } else if (size > 0) {
        value.data().copyTo(data);
    }
    *count = static_cast<DWORD>(size);
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

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult)
{
    // A root opened with no subkey is handed back as it is.
    if (phkResult && (!lpSubKey || !*lpSubKey) && isPredefined(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    // Only HKEY_CLASSES_ROOT forgives one leading backslash.
    if (isClassesRoot(hKey) && lpSubKey && *lpSubKey == '\\') ++lpSubKey;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!hKey) return ERROR_INVALID_HANDLE;
    // ASCII, nearly every path, needs no conversion: its units are its bytes.
    const std::string_view given = lpSubKey ? std::string_view(lpSubKey) : std::string_view();
    const bool ascii = isAscii(given);
    const std::u16string_view path = ascii ? std::u16string_view() : scratchUtf16(lpSubKey);
    if ((ascii ? given.size() : path.size()) > kMaxPathUnits) return ERROR_MORE_DATA;
    *phkResult = nullptr;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base)) return rc;
    WalkResult walk;
    if (LONG rc = ascii ? openAsciiPath(base, given, ulOptions, walk)
                        : walkPath(base, path, ulOptions, false, nullptr, walk))
        return rc;
    *phkResult = handles().add(KeyRef(walk.key), grantedAccess(samDesired));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired, const LPSECURITY_ATTRIBUTES,
                               PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (Reserved) return ERROR_INVALID_PARAMETER;
    if (!phkResult) return ERROR_BADKEY;
    if (!hKey) return ERROR_INVALID_HANDLE;
    const std::u16string path = toUtf16(lpSubKey);
    if (path.size() > kMaxPathUnits) return ERROR_MORE_DATA;
    const HKEY callersValue = *phkResult;
    *phkResult = nullptr;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base)) return rc;
    const std::u16string cls = toUtf16(lpClass);
    WalkResult walk;
    if (LONG rc = walkPath(base, path, dwOptions, true, &cls, walk)) {
        // Wine's key-by-key creation leaves the caller's variable as it was.
        if (walk.stepwise) *phkResult = callersValue;
        return rc;
    }
    *phkResult = handles().add(KeyRef(walk.key), grantedAccess(samDesired));
    setIf<DWORD>(lpdwDisposition, walk.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    // Wine closes nothing at or above the first predefined value.
    if (reinterpret_cast<uintptr_t>(hKey) >= 0x80000000u) return ERROR_SUCCESS;
    return handles().remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    (void)lpReserved; // Wine ignores it
    if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key)) return rc;

    // Lengths are in UTF-16 units and data sizes in stored bytes, as Wine reports them.
    // The maxima only when asked for: listing a key's values or subkeys asks for one
    // count, and big keys would be visited whole for nothing.
    DWORD maxSubkey = 0, maxClass = 0, maxValueName = 0, maxData = 0;
    if (lpcbMaxSubKeyLen || lpcbMaxClassLen)
        for (const auto &child : key->subkeys) {
            maxSubkey = std::max<DWORD>(maxSubkey, static_cast<DWORD>(child->name().size()));
            maxClass = std::max<DWORD>(maxClass, static_cast<DWORD>(child->className().size()));
        }
    if (lpcbMaxValueNameLen || lpcbMaxValueLen)
        for (const auto &value : key->values) {
            maxValueName = std::max<DWORD>(maxValueName, static_cast<DWORD>(value.name().size()));
            maxData = std::max<DWORD>(maxData, static_cast<DWORD>(value.data().size()));
        }
    LONG rc = ERROR_SUCCESS;
    if (lpcchClass) {
        // A class that does not fit is delivered cut short, as Wine does.
        const std::string cls = bytesFromUtf16(key->className());
        if (lpClass && *lpcchClass) {
            std::size_t n = cls.size();
            if (n >= *lpcchClass) {
                rc = ERROR_MORE_DATA;
                n = *lpcchClass - 1;
            }
            std::memcpy(lpClass, cls.data(), n);
            lpClass[n] = '\0';
            *lpcchClass = static_cast<DWORD>(n);
        } else {
            *lpcchClass = static_cast<DWORD>(cls.size());
        }
    }
    setIf(lpcSubKeys, static_cast<DWORD>(key->subkeys.size()));
    setIf(lpcbMaxSubKeyLen, maxSubkey);
    setIf(lpcbMaxClassLen, maxClass);
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
    if (lpReserved || !lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_ENUMERATE_SUB_KEYS)) return rc;
    if (dwIndex >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegKey &child = *key->subkeys[dwIndex];
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(child.lastWriteTime);
        lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(child.lastWriteTime >> 32);
    }
    // The class counts only when both its buffer and its length are given.
    const std::size_t clsSize = lpcchClass ? byteLengthOfUtf16(child.className()) : 0;
    if (byteLengthOfUtf16(child.name()) >= *lpcchName ||
        (lpClass && lpcchClass && clsSize >= *lpcchClass))
        return ERROR_MORE_DATA;
    deliverName(child.name(), lpName, lpcchName);
    if (lpcchClass) {
        if (lpClass) {
            writeBytesOfUtf16(child.className(), lpClass);
            lpClass[clsSize] = '\0';
        }
        *lpcchClass = static_cast<DWORD>(clsSize);
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_QUERY_VALUE)) return rc;
    if (dwIndex >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const ValueRef value = key->values[dwIndex];
    LONG rc = deliverData(value, lpData, lpcbData);
    if (rc == ERROR_SUCCESS) rc = deliverNameTruncated(value.name(), lpValueName, lpcchValueName);
    setIf(lpType, static_cast<DWORD>(value.type));
    return rc;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
    if (!hKey) return ERROR_INVALID_HANDLE;
    // Wine clears these before it looks anything up, so failures report them too.
    if (lpcbData && !lpData) *lpcbData = 0;
    setIf<DWORD>(lpType, REG_NONE);
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_QUERY_VALUE)) return rc;
    const auto value = findQueriedValue(*key, lpValueName);
    if (!value) return ERROR_FILE_NOT_FOUND;
    setIf(lpType, static_cast<DWORD>(value->type));
    return deliverData(*value, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE *lpData, DWORD cbData)
{
    if (!lpData && cbData) return ERROR_NOACCESS;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_SET_VALUE)) return rc;
    const std::u16string name = toUtf16(lpValueName);
    if (LONG rc = checkValueSize(name, cbData)) return rc;
    std::vector<uint8_t> data;
    if (isStringType(dwType)) {
        // Wine also counts a NUL found just past cbData; we never read beyond what the
        // caller said it gave us.
        const std::string_view bytes(reinterpret_cast<const char *>(lpData), lpData ? cbData : 0);
        data = bytesOfUnits(utf16FromBytes(bytes));
    } else if (lpData) {
        data.assign(lpData, lpData + cbData);
    }
    return setAdmittedValue(*key, name, dwType, data);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_SET_VALUE)) return rc;
    const std::u16string name = toUtf16(lpValueName);
    if (!key->findValue(name)) return ERROR_FILE_NOT_FOUND;
    const PendingChange change{
        .kind = StoreChange::ValueDeleted, .name = name, .time = KeyStore::now()};
    if (long rc = admitChange(activeStore().hooks(), *key, change)) return static_cast<LONG>(rc);
    key->removeValue(name);
    key->lastWriteTime = change.time;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    RegKey *base;
    if (LONG rc = resolveHandle(hKey, base)) return rc;
    const std::u16string path = toUtf16(lpSubKey);
    if (path.size() > kMaxPathUnits) return ERROR_MORE_DATA;
    WalkResult walk;
    // Like Wine, a link named last is followed: its target is what goes.
    if (LONG rc = walkPath(base, path, 0, false, nullptr, walk)) return rc;
    RegKey *key = walk.key;
    KeyStore &store = activeStore();
    // Roots of hives and of the predefined views are not deletable.
    if (!key->subkeys.empty() || !key->parent || key->parent == &store.top() ||
        key->parent == &store.users())
        return ERROR_ACCESS_DENIED;
    RegKey &parent = *key->parent;
    const std::u16string name = key->name().str();
    const PendingChange change{
        .kind = StoreChange::SubkeyDeleted, .name = name, .time = KeyStore::now()};
    if (long rc = admitChange(store.hooks(), parent, change)) return static_cast<LONG>(rc);
    parent.removeSubkey(*key);
    parent.lastWriteTime = change.time;
    return ERROR_SUCCESS;
}

} // extern "C"
