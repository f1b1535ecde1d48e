// Cases about the access a handle was opened with.
#include "tests/conformance/Cases.h"

namespace conformance {

namespace {

// Every operation once through a handle, so that each right shows where it is needed.
void tryEverything(const Key &k)
{
    setValue(k, "w", REG_DWORD, "\x01\x00\x00\x00", 4);
    queryValue(k, "v", QueryArgs{4});
    enumValue(k, 0);
    enumKey(k, 0);
    queryInfo(k);
    Key sub = createKey(k, "Sub", "sub");
    closeKey(sub);
    closeKey(createKey(k, "New", "new"));
    Key opened = openKey(k, "Sub", "sub");
    closeKey(opened);
    deleteValue(k, "w");
    deleteValue(k, "v");
    deleteKey(k, "New");
    closeKey(openKey(k, "", "self"));
}

} // namespace

void accessCases(const Key &s)
{
    section("access rights");
    Key a = createKey(s, "Access", "access");
    closeKey(createKey(a, "Sub", "sub"));
    closeKey(a);
    const REGSAM masks[] = {KEY_READ,
                            KEY_WRITE,
                            0,
                            KEY_QUERY_VALUE,
                            KEY_SET_VALUE,
                            KEY_ENUMERATE_SUB_KEYS,
                            KEY_CREATE_SUB_KEY,
                            DELETE,
                            MAXIMUM_ALLOWED,
                            0x80000000u /* GENERIC_READ */,
                            0x40000000u /* GENERIC_WRITE */,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY};
    Key full = openKey(s, "Access", "full");
    for (REGSAM mask : masks) {
        setValue(full, "v", REG_DWORD, "\x02\x00\x00\x00", 4);
        Key k = openKey(s, "Access", "opened", OpenArgs{0, false, mask});
        tryEverything(k);
        closeKey(k);
    }
    CreateArgs readOnly;
    readOnly.access = KEY_READ;
    setValue(full, "v", REG_DWORD, "\x02\x00\x00\x00", 4);
    Key k = createKey(s, "Access", "created", readOnly);
    tryEverything(k);
    closeKey(k);
    // Deleting a key needs no right on the handle its name is relative to.
    Key none = openKey(s, "Access", "none", OpenArgs{0, false, 0});
    deleteKey(none, "Sub");
    closeKey(none);
    closeKey(full);
}

} // namespace conformance
