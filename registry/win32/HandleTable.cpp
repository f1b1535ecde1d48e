#include "registry/win32/HandleTable.h"

namespace quarnel::platform {

namespace {
// The table of this thread's ThreadStoreScope, when one lives.
thread_local HandleTable *t_scopeHandles = nullptr;
} // namespace

void useThreadHandles(HandleTable *table)
{
    t_scopeHandles = table;
}

HandleTable &handles()
{
    static HandleTable table;
    return t_scopeHandles ? *t_scopeHandles : table;
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

namespace {

RegKey *predefinedKey(uint32_t v)
{
    KeyStore &store = activeStore();
    switch (v) {
    case 0x80000000u: return &store.ensurePath(store.machine(), u"Software\\Classes");
    case 0x80000001u: return &store.ensurePath(store.users(), store.currentUserSid);
    case 0x80000002u: return &store.machine();
    case 0x80000003u: return &store.users();
    case 0x80000005u:
        return &store.ensurePath(store.machine(),
                                 u"System\\CurrentControlSet\\Hardware Profiles\\Current");
    case 0x80000006u: {
        // Dynamic data is a volatile key that nothing fills.
        bool created;
        RegKey *key = &store.top().addSubkey(u"DynData", created);
        key->isVolatile = true;
        return key;
    }
    default: return nullptr; // performance data has no key
    }
}

// The key of each root, found again only when a key may have gone or the user's
// key changed: a walk resolves its root once per key it opens.
RegKey *cachedPredefinedKey(uint32_t v)
{
    struct Found
    {
        uint64_t version = 0;
        RegKey *key = nullptr;
    };
    thread_local Found found[7]; // each thread its own store (ThreadStoreScope)
    Found &f = found[v - 0x80000000u];
    // The version first: a key it no longer covers may have been freed.
    const bool stale = !f.key || f.version != treeVersion() ||
                       (v == 0x80000001u && !(f.key->name() == activeStore().currentUserSid));
    if (stale) {
        f.key = predefinedKey(v);
        f.version = treeVersion();
    }
    return f.key;
}

} // namespace

LONG resolveHandle(HKEY h, RegKey *&key, DWORD need)
{
    key = nullptr;
    if (isPredefined(h)) {
        const auto v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
        key = cachedPredefinedKey(v);
        return key ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }
    DWORD access = 0;
    key = handles().find(h, access);
    if (!key) return ERROR_INVALID_HANDLE;
    if ((access & need) != need) return ERROR_ACCESS_DENIED;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG checkValueSize(std::u16string_view name, DWORD dataBytes)
{
    constexpr std::size_t kMaxValueNameUnits = 16383;
    if (name.size() > kMaxValueNameUnits) return ERROR_INVALID_PARAMETER;
    return dataBytes > ValueTable::kMaxDataBytes ? ERROR_OUTOFMEMORY : ERROR_SUCCESS;
}

LONG setAdmittedValue(RegKey &key, const std::u16string &name, DWORD type,
                      const std::vector<uint8_t> &data)
{
    // Refused before the journal hears of it: a change it holds is made again at start.
    if (!key.values.canHold(name.size(), data.size())) return ERROR_OUTOFMEMORY;
    const PendingChange change{.kind = StoreChange::ValueSet,
                               .name = name,
                               .time = KeyStore::now(),
                               .type = type,
                               .data = data};
    if (long rc = admitChange(activeStore().hooks(), key, change)) return static_cast<LONG>(rc);
    key.setValue(name, type, data);
    key.lastWriteTime = change.time;
    return ERROR_SUCCESS;
}

} // namespace quarnel::platform
