// Cases about values and key information: figures, order, types, buffers, names.
#include "tests/conformance/Cases.h"

#include <string>

namespace conformance {

void infoCases(const Key &s)
{
    section("query info after each change");
    Key k = createKey(s, "Info", "info");
    queryInfo(k);
    closeKey(createKey(k, "short", "c"));
    queryInfo(k);
    closeKey(createKey(k, "muchlonger", "c"));
    queryInfo(k);
    setValue(k, "v", REG_SZ, "hello", 6);
    queryInfo(k);
    setValue(k, "longer name", REG_BINARY, "\x01\x02\x03", 3);
    queryInfo(k);
    setValue(k, "v", REG_BINARY, "\x01", 1);
    queryInfo(k);
    setValue(k, "", REG_DWORD, "\x01\x00\x00\x00", 4);
    queryInfo(k);
    deleteValue(k, "longer name");
    queryInfo(k);
    deleteKey(k, "muchlonger");
    queryInfo(k);
    deleteValue(k, "");
    deleteValue(k, "v");
    deleteKey(k, "short");
    queryInfo(k);

    section("classes");
    Key c = createKey(k, "WithClass", "wc", CreateArgs{0, "MyClass"});
    closeKey(createKey(k, "WithClass", "wc2", CreateArgs{0, "Other"}));
    closeKey(createKey(c, "Inner", "inner", CreateArgs{0, "LongerClassName"}));
    queryInfo(k);
    queryInfo(c);
    Key inner = openKey(c, "Inner", "inner");
    queryInfo(inner, InfoArgs{16, 16});
    queryInfo(inner, InfoArgs{15, 15});
    queryInfo(inner, InfoArgs{0, 0});
    queryInfo(inner, InfoArgs{-1, 0});
    closeKey(inner);
    // A class given for an existing key, an empty class, and keys made on the way.
    closeKey(createKey(c, "Inner", "inner", CreateArgs{0, "Third"}));
    enumKey(c, 0, EnumArgs{300, 32, 32});
    closeKey(createKey(c, "Inner", "inner"));
    enumKey(c, 0, EnumArgs{300, 32, 32});
    closeKey(createKey(c, "Inner", "inner", CreateArgs{0, ""}));
    enumKey(c, 0, EnumArgs{300, 32, 32});
    closeKey(createKey(c, "Path\\To\\Leaf", "leaf", CreateArgs{0, "LeafClass"}));
    // The class reaches keys on the way only when more than the last one was missing.
    closeKey(createKey(c, "Inner\\One", "one", CreateArgs{0, "OneClass"}));
    enumKey(c, 0, EnumArgs{300, 32, 32});
    closeKey(createKey(c, "Inner\\Two\\Three", "three", CreateArgs{0, "TwoClass"}));
    enumKey(c, 0, EnumArgs{300, 32, 32});
    closeKey(createKey(c, "", "self", CreateArgs{0, "SelfClass"}));
    queryInfo(c, InfoArgs{32, 32});
    Key path = openKey(c, "Path", "path");
    queryInfo(path, InfoArgs{32, 32});
    listKeys(path);
    enumKey(path, 0, EnumArgs{300, 32, 32});
    closeKey(path);
    queryInfo(c, InfoArgs{16, 16});
    queryInfo(c, InfoArgs{8, 8});
    queryInfo(c, InfoArgs{7, 7});
    queryInfo(c, InfoArgs{-1, 0});
    queryInfo(c, InfoArgs{-1, 16});
    queryInfo(c, InfoArgs{16, -1});
    queryInfo(c, InfoArgs{-1, -1, true, true});
    queryInfo(c, InfoArgs{-1, -1, false});
    EnumArgs withClass;
    withClass.classBuffer = 32;
    withClass.classLength = 32;
    enumKey(k, 0, withClass);
    enumKey(c, 0, withClass);
    withClass.classBuffer = 15;
    withClass.classLength = 15;
    enumKey(c, 0, withClass);
    withClass.classBuffer = 16;
    withClass.classLength = 16;
    enumKey(c, 0, withClass);
    withClass.classBuffer = -1;
    enumKey(c, 0, withClass);
    withClass.classLength = 0;
    enumKey(c, 0, withClass);
    withClass.classBuffer = 32;
    withClass.classLength = -1;
    enumKey(c, 0, withClass);
    closeKey(c);
    closeKey(k);
}

void orderCases(const Key &s)
{
    section("enumeration order");
    Key o = createKey(s, "Order", "order");
    for (const char *name :
         {"zeta", "B", "_u", "Alpha", "10", "9",  "[",  "a b", "a",  "Ab", "aB2", "~",
          "^",    "`", "{",  "Z",     "a_", "a[", "aZ", "a0",  "A-", "@",  "]x",  "\x7f"})
        closeKey(createKey(o, name, "c"));
    closeKey(createKey(o, "ALPHA", "c"));
    closeKey(createKey(o, "mIxEd", "c"));
    closeKey(createKey(o, "MIXED", "c"));
    queryInfo(o);
    listKeys(o);
    for (const char *name : {"b", "", "A", "_", "[", "Z", "z1", "Z0", "10", "9", "a b", "~", "`"})
        setValue(o, name, REG_SZ, name, static_cast<DWORD>(std::string(name).size() + 1));
    setValue(o, "VaLuE", REG_DWORD, "\x07\x00\x00\x00", 4);
    setValue(o, "value", REG_DWORD, "\x08\x00\x00\x00", 4);
    listValues(o);
    queryInfo(o);
    // Enumeration stays stable while nothing changes, and follows changes.
    enumKey(o, 3);
    enumKey(o, 3);
    deleteKey(o, "10");
    enumKey(o, 3);
    enumValue(o, 0);
    deleteValue(o, "");
    enumValue(o, 0);

    section("enumeration buffers");
    EnumArgs a;
    a.nameBuffer = 4; // "zeta" needs 5
    const DWORD last = 25;
    enumKey(o, last, a);
    a.nameBuffer = 5;
    enumKey(o, last, a);
    a.nameBuffer = 0;
    enumKey(o, last, a);
    enumKey(o, 1000);
    a.reserved = true;
    a.nameBuffer = 300;
    enumKey(o, 0, a);
    enumValue(o, 0, a);
    a.reserved = false;
    Key ev = createKey(s, "EnumValues", "ev");
    setValue(ev, "name5", REG_SZ, "abc", 4);
    setValue(ev, "bin", REG_BINARY, "\x01\x02\x03", 3);
    for (DWORD nameBuf : {0u, 1u, 3u, 4u, 5u, 6u}) {
        a.nameBuffer = nameBuf;
        enumValue(ev, 1, a);
    }
    a.nameBuffer = 300;
    for (int dataBuf : {0, 2, 3, 4, 5}) {
        a.dataBuffer = dataBuf;
        enumValue(ev, 0, a);
        enumValue(ev, 1, a);
    }
    a.nameBuffer = 2;
    a.dataBuffer = 2;
    enumValue(ev, 0, a);
    a.dataBuffer = 8;
    enumValue(ev, 1, a);
    a.withType = false;
    a.withCount = false;
    a.dataBuffer = -1;
    a.nameBuffer = 300;
    enumValue(ev, 0, a);
    a.dataBuffer = 8;
    enumValue(ev, 0, a);
    a.withCount = true;
    enumValue(ev, 2, a);
    closeKey(ev);
    closeKey(o);
}

void typeCases(const Key &s)
{
    section("value types");
    Key t = createKey(s, "Types", "types");
    // Non-terminated text comes from buffers whose next byte is not NUL.
    const char text[] = "hello\0ab\0cd\0abcdeXYZ";
    setValue(t, "sz", REG_SZ, text, 6);
    setValue(t, "sz noterm", REG_SZ, text + 14, 3);
    setValue(t, "sz odd", REG_SZ, text + 14, 5);
    setValue(t, "sz embedded", REG_SZ, text + 6, 6);
    setValue(t, "sz empty", REG_SZ, text, 0);
    setValue(t, "sz null", REG_SZ, nullptr, 0);
    setValue(t, "sz nul only", REG_SZ, text + 5, 1);
    setValue(t, "expand", REG_EXPAND_SZ, "%PATH%;x\0", 9);
    setValue(t, "multi", REG_MULTI_SZ, "a\0bc\0\0", 6);
    setValue(t, "multi noterm", REG_MULTI_SZ, text + 6, 4);
    setValue(t, "bin", REG_BINARY, "\x00\xff\x10", 3);
    setValue(t, "bin empty", REG_BINARY, "", 0);
    setValue(t, "bin null", REG_BINARY, nullptr, 0);
    setValue(t, "dword", REG_DWORD, "\x78\x56\x34\x12", 4);
    setValue(t, "dword short", REG_DWORD, "\x01\x02", 2);
    setValue(t, "dword long", REG_DWORD, "\x01\x02\x03\x04\x05\x06", 6);
    setValue(t, "dword be", REG_DWORD_BIG_ENDIAN, "\x12\x34\x56\x78", 4);
    setValue(t, "qword", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    setValue(t, "none", REG_NONE, "", 0);
    setValue(t, "none data", REG_NONE, "xyz", 3);
    setValue(t, "link", REG_LINK, "\\\0R\0", 4);
    setValue(t, "resource", REG_RESOURCE_LIST, "\x01\x00", 2);
    setValue(t, "odd type", 0x1234, "odd", 3);
    setValue(t, "huge type", 0xFFFF0012u, "\x09", 1);
    setValue(t, "", REG_SZ, "default", 8);
    queryInfo(t);
    listValues(t, 64);
    queryValue(t, nullptr, QueryArgs{16});
    queryValue(t, "", QueryArgs{16});
    // Changing the type keeps the name and position.
    setValue(t, "DWORD", REG_SZ, "now text", 9);
    queryValue(t, "dword", QueryArgs{16});
    setValue(t, "dword", REG_DWORD, "\x78\x56\x34\x12", 4);
    closeKey(t);
}

void queryBufferCases(const Key &s)
{
    section("query buffers");
    Key t = openKey(s, "Types", "types");
    for (const char *name : {"sz", "sz noterm", "sz embedded", "multi noterm", "bin", "dword",
                             "qword", "sz empty", "bin empty", "missing"}) {
        queryValue(t, name);
        for (int size : {0, 1, 2, 3, 4, 5, 6, 8})
            queryValue(t, name, QueryArgs{size});
    }
    QueryArgs a;
    a.withType = false;
    queryValue(t, "sz", a);
    a.withCount = false;
    queryValue(t, "sz", a);
    queryValue(t, "missing", a);
    a.buffer = 8;
    queryValue(t, "sz", a);
    a.withCount = true;
    queryValue(t, "sz", a);
    QueryArgs r;
    r.reserved = true;
    queryValue(t, "sz", r);
    queryValue(t, "SZ NOTERM", QueryArgs{8});
    closeKey(t);
}

void valueNameCases(const Key &s)
{
    section("value names");
    Key v = createKey(s, "Names", "names");
    const std::string n16383(16383, 'v');
    const std::string n16384(16384, 'v');
    setValue(v, n16383.c_str(), REG_DWORD, "\x01\x00\x00\x00", 4);
    queryInfo(v);
    queryValue(v, n16383.c_str(), QueryArgs{4});
    queryValue(v, ("V" + n16383.substr(1)).c_str());
    EnumArgs a;
    a.nameBuffer = 16384;
    enumValue(v, 0, a);
    a.nameBuffer = 16383;
    enumValue(v, 0, a);
    setValue(v, n16384.c_str(), REG_DWORD, "\x02\x00\x00\x00", 4);
    queryValue(v, n16384.c_str());
    deleteValue(v, n16384.c_str());
    queryInfo(v);
    deleteValue(v, n16383.c_str());
    setValue(v, "Case", REG_SZ, "x", 2);
    setValue(v, "CASE", REG_SZ, "yy", 3);
    listValues(v);
    queryValue(v, "case", QueryArgs{8});
    deleteValue(v, "cAsE");
    deleteValue(v, "case");
    deleteValue(v, "");
    setValue(v, nullptr, REG_SZ, "d", 2);
    queryValue(v, "", QueryArgs{4});
    deleteValue(v, nullptr);
    queryValue(v, "");
    setValue(v, "a\\b", REG_SZ, "slash", 6);
    queryValue(v, "A\\B", QueryArgs{8});
    queryInfo(v);
    closeKey(v);
}

void nonAsciiCases(const Key &s)
{
    // The 8-bit code pages differ (cp1252 there, UTF-8 here), so only round trips count.
    section("non-ascii round trip");
    Key n = createKey(s, "NonAscii", "nonascii");
    const char *names[] = {"caf\xe9", "\x80\x81\x8d\xff",
                           "Gr\xc3\xbc\xc3\x9f"
                           "e"};
    for (const char *name : names) {
        Key k = createKey(n, name, "k");
        closeKey(k);
        closeKey(openKey(n, name, "k"));
        setValue(n, name, REG_SZ, name, static_cast<DWORD>(std::string(name).size() + 1));
        queryValue(n, name, QueryArgs{16});
        setValue(n, name, REG_BINARY, name, static_cast<DWORD>(std::string(name).size()));
        queryValue(n, name, QueryArgs{16});
        Key only = createKey(s, "NonAsciiOne", "one");
        closeKey(createKey(only, name, "k"));
        setValue(only, name, REG_MULTI_SZ, "\xe9\0\xc3\xa9\0\0", 6);
        enumKey(only, 0);
        enumValue(only, 0, EnumArgs{300, -1, -1, 16});
        deleteKey(only, name);
        deleteValue(only, name);
        closeKey(only);
        deleteKey(s, "NonAsciiOne");
        deleteKey(n, name);
        deleteValue(n, name);
    }
    closeKey(n);
}

} // namespace conformance
