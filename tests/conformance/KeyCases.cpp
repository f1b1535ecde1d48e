// Cases about keys: paths, names, depth, deletion, deleted handles, predefined roots.
#include "tests/conformance/Cases.h"

#include <string>

namespace conformance {

void pathCases(const Key &s)
{
    section("paths");
    Key k = createKey(s, "Paths\\A\\B\\C", "abc");
    closeKey(k);
    closeKey(createKey(s, "Paths\\A\\", "a"));
    closeKey(createKey(s, "paths\\a", "a"));
    closeKey(openKey(s, "Paths\\A\\B\\C", "abc"));
    closeKey(openKey(s, "paths\\a\\b\\c\\", "abc"));
    closeKey(openKey(s, "PATHS\\A\\b\\C", "abc"));
    closeKey(openKey(s, "Paths\\\\A", "a"));
    closeKey(openKey(s, "Paths\\A\\\\", "a"));
    openKey(s, "\\Paths", "x");
    openKey(s, "\\", "x");
    createKey(s, "\\Paths", "x");
    createKey(s, "\\New", "x");
    openKey(s, "Paths\\Missing", "x");
    openKey(s, "Missing\\Deeper", "x");
    openKey(s, "Paths\\A\\B\\C\\D", "x");
    openKey(s, "Paths\\A\\B\\C\\D\\", "x");

    Key self = openKey(s, "", "self");
    queryInfo(self);
    closeKey(self);
    closeKey(self);
    Key self2 = openKey(s, nullptr, "self2");
    closeKey(self2);
    Key self3 = createKey(s, "", "self3");
    closeKey(self3);
    Key self4 = createKey(s, nullptr, "self4");
    closeKey(self4);

    CreateArgs reserved;
    reserved.reserved = 1;
    createKey(s, "Reserved", "x", reserved);
    openKey(s, "Reserved", "x");
    CreateArgs noDisposition;
    noDisposition.nullDisposition = true;
    closeKey(createKey(s, "NoDisposition", "x", noDisposition));

    // Forward slashes, dots and spaces are ordinary name characters.
    closeKey(createKey(s, "Paths\\a/b", "slash"));
    openKey(s, "Paths\\a", "a");
    closeKey(openKey(s, "Paths\\a/b", "slash"));
    closeKey(createKey(s, "Paths\\ .", "dot"));
    closeKey(createKey(s, "Paths\\..", "dots"));
    Key paths = openKey(s, "Paths", "paths");
    listKeys(paths);
    closeKey(paths);

    // Volatile keys take only volatile children.
    Key vol = createKey(s, "Volatile", "vol", CreateArgs{REG_OPTION_VOLATILE});
    createKey(vol, "Stable", "x");
    closeKey(createKey(vol, "Fleeting", "x", CreateArgs{REG_OPTION_VOLATILE}));
    closeKey(createKey(s, "Volatile", "vol2"));
    closeKey(vol);
}

void depthAndLengthCases(const Key &s)
{
    section("depth");
    Key deep = createKey(s, "Deep", "deep");
    Key cur = deep;
    for (int i = 0; i < 40; ++i) {
        Key next = createKey(cur, ("L" + std::to_string(i)).c_str(), "L" + std::to_string(i));
        if (cur.h != deep.h) closeKey(cur);
        cur = next;
    }
    queryInfo(cur);
    closeKey(cur);
    std::string path;
    for (int i = 0; i < 40; ++i)
        path += "L" + std::to_string(i) + "\\";
    closeKey(openKey(deep, path.c_str(), "L39"));
    // One call may carry at most 260 characters of path.
    std::string many = "x";
    while (many.size() < 259)
        many += "\\x";
    closeKey(createKey(deep, many.c_str(), "x259"));
    closeKey(openKey(deep, many.c_str(), "x259"));
    closeKey(createKey(deep, (many + "y").c_str(), "x260"));
    closeKey(createKey(deep, (many + "yz").c_str(), "x261"));
    closeKey(openKey(deep, (many + "yz").c_str(), "x261"));
    closeKey(openKey(deep, (many + "y\\").c_str(), "x260"));
    closeKey(openKey(deep, (many + "y\\\\").c_str(), "x262"));
    queryInfo(deep);
    closeKey(deep);

    section("long names");
    Key lk = createKey(s, "Long", "long");
    const std::string n255(255, 'k');
    const std::string n256(256, 'k');
    const std::string n300(300, 'k');
    closeKey(createKey(lk, n255.c_str(), "k255"));
    queryInfo(lk);
    closeKey(openKey(lk, n255.c_str(), "k255"));
    closeKey(openKey(lk, (n255 + "\\").c_str(), "k255"));
    closeKey(openKey(lk, ("K" + n255.substr(1)).c_str(), "k255"));
    createKey(lk, n256.c_str(), "k256");
    openKey(lk, n256.c_str(), "k256");
    const std::string n257(257, 'k');
    createKey(lk, n257.c_str(), "k257");
    openKey(lk, n257.c_str(), "k257");
    deleteKey(lk, n257.c_str());
    createKey(lk, n300.c_str(), "k300");
    openKey(lk, n300.c_str(), "k300");
    closeKey(createKey(lk, ("sub\\" + n255).c_str(), "sub255"));
    queryInfo(lk);
    EnumArgs small;
    small.nameBuffer = 255;
    enumKey(lk, 0, small);
    small.nameBuffer = 256;
    enumKey(lk, 0, small);
    deleteKey(lk, n255.c_str());
    deleteKey(lk, n256.c_str());
    queryInfo(lk);
    closeKey(lk);
}

void deleteCases(const Key &s)
{
    section("delete keys");
    Key d = createKey(s, "Del", "del");
    closeKey(createKey(d, "Parent\\Child", "child"));
    deleteKey(d, "Parent");
    deleteKey(d, "Missing");
    deleteKey(d, "Missing\\Deeper");
    deleteKey(d, "\\Parent\\Child");
    deleteKey(d, nullptr);
    deleteKey(d, "PARENT\\child\\");
    queryInfo(d);
    deleteKey(d, "Parent\\Child");
    deleteKey(d, "parent");
    queryInfo(d);

    section("deleted handles");
    Key gone = createKey(d, "Gone", "gone");
    Key other = openKey(d, "gone", "gone2");
    setValue(gone, "v", REG_DWORD, "\x01\x02\x03\x04", 4);
    deleteKey(d, "Gone");
    queryInfo(gone);
    queryValue(gone, "v");
    queryValue(gone, "v", QueryArgs{8});
    setValue(gone, "w", REG_BINARY, "ab", 2);
    deleteValue(gone, "v");
    enumKey(gone, 0);
    enumValue(gone, 0);
    createKey(gone, "Sub", "x");
    closeKey(openKey(gone, "", "again"));
    openKey(gone, "Sub", "x");
    deleteKey(gone, "");
    deleteKey(gone, "Sub");
    queryInfo(other);
    closeKey(gone);
    closeKey(gone);
    // A new key of the same name is a different key.
    Key reborn = createKey(d, "Gone", "reborn");
    queryInfo(reborn);
    queryInfo(other);
    closeKey(other);
    // Deleting through an empty subkey deletes the handle's own key.
    deleteKey(reborn, "");
    queryInfo(reborn);
    closeKey(reborn);
    openKey(d, "Gone", "x");
    closeKey(d);
}

void rootCases(const Key &s)
{
    section("predefined roots");
    Key cls = createKey(HKCR, "QuarnelConformance.Test\\Sub", "cls");
    setValue(cls, "", REG_SZ, "via HKCR", 9);
    closeKey(cls);
    Key m = openKey(HKLM, "Software\\Classes\\QuarnelConformance.Test\\Sub", "m");
    queryValue(m, "", QueryArgs{16});
    setValue(m, "fromHKLM", REG_DWORD, "\x05\x00\x00\x00", 4);
    closeKey(m);
    Key c2 = openKey(HKCR, "\\QuarnelConformance.Test\\Sub", "c2");
    queryValue(c2, "fromHKLM", QueryArgs{4});
    closeKey(c2);
    openKey(HKCR, "\\\\QuarnelConformance.Test", "x");
    openKey(HKCR, "\\", "x");
    createKey(HKCR, "\\QuarnelConformance.Test\\Other", "x");
    deleteKey(HKCR, "\\QuarnelConformance.Test\\Sub");
    openKey(HKLM, "\\Software", "x");
    openKey(HKCU, "\\Software", "x");

    Key u = openKey(HKU, "S-1-5-21-0-0-0-1000\\Software\\QuarnelConformance", "u");
    setValue(u, "viaHKU", REG_SZ, "u", 2);
    queryValue(s, "VIAHKU", QueryArgs{4});
    deleteValue(s, "viaHKU");
    closeKey(u);

    Key cc = createKey(HKCC, "QuarnelConformance", "cc");
    setValue(cc, "n", REG_BINARY, "\x01", 1);
    closeKey(cc);
    Key ccm = openKey(
        HKLM, "System\\CurrentControlSet\\Hardware Profiles\\Current\\QuarnelConformance", "ccm");
    queryValue(ccm, "n", QueryArgs{4});
    closeKey(ccm);

    // An empty subkey on a root gives back the root itself.
    for (const Key *root : {&HKCR, &HKCU, &HKLM, &HKU, &HKCC}) {
        Key self = openKey(*root, "", "self");
        closeKey(self);
        closeKey(self);
        Key made = createKey(*root, "", "made");
        closeKey(made);
    }
    Key selfNull = openKey(HKCU, nullptr, "self");
    closeKey(selfNull);
    deleteKey(HKCC, "");
    deleteKey(HKCU, "");
    closeKey(HKLM);
    closeKey(HKCU);
    closeKey(Key{reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000007u)), "0x80000007"});
    closeKey(Key{reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xFFFFFFF0u)), "0xFFFFFFF0"});
    const Key zeroExtended{reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)), "HKCU32"};
    closeKey(openKey(zeroExtended, "Software\\QuarnelConformance", "z"));

    // Runtime-dependent roots: performance and dynamic data.
    closeKey(openKey(HKPD, "", "pd"));
    openKey(HKPD, "QuarnelConformance", "x");
    queryInfo(HKPD, InfoArgs{-1, -1, false});
    queryValue(HKPD, "Global");
    queryValue(HKPD, "Global", QueryArgs{16});
    enumKey(HKPD, 0);
    setValue(HKPD, "x", REG_BINARY, "x", 1);
    closeKey(HKPD);
    openKey(HKDD, "QuarnelConformance", "x");
    closeKey(openKey(HKDD, "", "dd"));
    closeKey(HKDD);
}

void badHandleCases()
{
    section("bad handles");
    for (const Key *bad : {&NullKey, &BogusKey}) {
        openKey(*bad, "Software", "x");
        openKey(*bad, "", "x");
        createKey(*bad, "Software", "x");
        closeKey(*bad);
        queryInfo(*bad);
        enumKey(*bad, 0);
        enumValue(*bad, 0);
        queryValue(*bad, "v");
        setValue(*bad, "v", REG_BINARY, "x", 1);
        deleteValue(*bad, "v");
        deleteKey(*bad, "Software");
    }
}

} // namespace conformance
