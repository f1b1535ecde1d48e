// The two wide value calls on the active KeyStore. They move value data as it
// is stored, so string data of any length (odd, unterminated) passes unchanged;
// results follow Wine's advapi32.
#include "registry/win32/winreg.h"

#include "registry/win32/HandleTable.h"
#include "registry/win32/KeyStore.h"

#include <cstring>
#include <string>
#include <vector>

using namespace quarnel::platform;

namespace {

std::u16string nameOf(LPCWSTR name)
{
    return name ? std::u16string(name) : std::u16string();
}

} // namespace

extern "C" {

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
    if (!hKey) return ERROR_INVALID_HANDLE;
    // Wine clears a size query's count before the lookup; the type it leaves alone.
    if (lpcbData && !lpData) *lpcbData = 0;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_QUERY_VALUE)) return rc;
    const auto value = key->findValue(nameOf(lpValueName));
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    const auto data = value->data();
    const DWORD size = static_cast<DWORD>(data.size());
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    const DWORD room = *lpcbData;
    *lpcbData = size;
    if (size > room) return ERROR_MORE_DATA;
    data.copyTo(lpData);
    // String data whose last unit is not NUL gets one past its end when it fits,
    // as Wine does (Wine also writes it when the buffer is a byte short; we never
    // write past the caller's buffer).
    if (isStringType(value->type) && size > 0 && room >= 2 && size <= room - 2) {
        const bool lastUnitSet = size == 1 ? data[0] != 0 : (data[size - 2] | data[size - 1]) != 0;
        if (lastUnitSet) lpData[size] = lpData[size + 1] = 0;
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE *lpData, DWORD cbData)
{
    if (!lpData && cbData) return ERROR_NOACCESS;
    RegKey *key;
    if (LONG rc = resolveHandle(hKey, key, KEY_SET_VALUE)) return rc;
    const std::u16string name = nameOf(lpValueName);
    if (LONG rc = checkValueSize(name, cbData)) return rc;
    // Wine also counts a NUL unit found just past cbData; we never read beyond
    // what the caller said it gave us.
    const std::vector<uint8_t> data(lpData, lpData ? lpData + cbData : lpData);
    return setAdmittedValue(*key, name, dwType, data);
}

} // extern "C"
