#include "HandleTable.h"

namespace quarnel::platform {

HandleTable &handles()
{
    static HandleTable table;
    return table;
}

std::size_t openHandleCount()
{
    return handles().count();
}

bool isPredefined(HKEY h)
{
    const auto v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
    return v >= 0x80000000u && v <= 0x80000006u;
}

bool isClassesRoot(HKEY h)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)) == 0x80000000u;
}

DWORD grantedAccess(REGSAM sam)
{
    constexpr DWORD kGenericRead = 0x80000000u, kGenericWrite = 0x40000000u,
                    kGenericExecute = 0x20000000u, kGenericAll = 0x10000000u;
    if (sam & (MAXIMUM_ALLOWED | kGenericAll)) return KEY_ALL_ACCESS;
    DWORD granted = sam & (STANDARD_RIGHTS_REQUIRED | 0xFFFF);
    if (sam & (kGenericRead | kGenericExecute)) granted |= KEY_READ;
    if (sam & kGenericWrite) granted |= KEY_WRITE;
    return granted;
}

LONG resolveHandle(HKEY h, RegKey *&key, DWORD need)
{
    key = nullptr;
    if (isPredefined(h)) {
        KeyStore &store = activeStore();
        const auto v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
        switch (v) {
        case 0x80000000u:
            key = &store.ensurePath(store.machine(), u"Software\\Classes");
            break;
        case 0x80000001u:
            key = &store.ensurePath(store.users(), store.currentUserSid);
            break;
        case 0x80000002u:
            key = &store.machine();
            break;
        case 0x80000003u:
            key = &store.users();
            break;
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
        default:
            return ERROR_INVALID_HANDLE; // performance data has no key
        }
        return ERROR_SUCCESS;
    }
    DWORD access = 0;
    key = handles().find(h, access);
    if (!key) return ERROR_INVALID_HANDLE;
    if ((access & need) != need) return ERROR_ACCESS_DENIED;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

} // namespace quarnel::platform
