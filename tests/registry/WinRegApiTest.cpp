#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"
#include "registry/win32/winreg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace quarnel::platform;

namespace {

class WinRegApi : public ::testing::Test
{
protected:
    void SetUp() override { setActiveStore(std::make_shared<KeyStore>()); }

    HKEY create(HKEY base, const char *path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(
            RegCreateKeyExA(base, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        return key;
    }

    static void setString(HKEY key, const char *name, const std::string &data, DWORD type = REG_SZ)
    {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    static std::vector<std::string> subkeys(HKEY key)
    {
        std::vector<std::string> names;
        char buf[300];
        for (DWORD i = 0;; ++i) {
            DWORD len = sizeof buf;
            if (RegEnumKeyExA(key, i, buf, &len, nullptr, nullptr, nullptr, nullptr)) break;
            names.emplace_back(buf, len);
        }
        return names;
    }

    static std::vector<std::string> valueNames(HKEY key)
    {
        std::vector<std::string> names;
        char buf[300];
        for (DWORD i = 0;; ++i) {
            DWORD len = sizeof buf;
            if (RegEnumValueA(key, i, buf, &len, nullptr, nullptr, nullptr, nullptr)) break;
            names.emplace_back(buf, len);
        }
        return names;
    }
};

TEST_F(WinRegApi, PathsIgnoreTrailingSeparatorAndCaseAndRefuseLeadingOne)
{
    HKEY made = create(HKEY_CURRENT_USER, "Software\\Quarnel\\Deep\\Er");
    RegCloseKey(made);
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "software\\QUARNEL\\deep\\er\\", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_ALL_ACCESS, &key),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    // The first spelling is kept.
    HKEY sw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &sw), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(sw), std::vector<std::string>{"Quarnel"});
    RegCloseKey(sw);
}

// A walk opens every key by its full path, and an open reuses what the last one
// resolved: only names the same to the byte, ending at the same place, may be.
TEST_F(WinRegApi, OpensAlongTheLastOpenedPathReachTheirOwnKeys)
{
    for (const char *path :
         {"W\\B\\C", "W\\B\\D", "W\\BC\\C", "W\\Bx", "W\\b\\e", "W\\BC\\\xc3\xa9"}) {
        HKEY key = create(HKEY_CURRENT_USER, path);
        setString(key, "at", path);
        RegCloseKey(key);
    }
    const auto at = [](HKEY base, const char *path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(base, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string("-");
        char buf[64];
        DWORD size = sizeof buf;
        const LONG rc =
            RegQueryValueExA(key, "at", nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::string(buf) : std::string("no value");
    };
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\C"), "W\\B\\C");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\D"), "W\\B\\D");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\BC\\C"), "W\\BC\\C");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\C"), "W\\B\\C");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\b\\E"), "W\\b\\e");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\\\B\\\\D\\"), "W\\B\\D");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\Bx"), "W\\Bx");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B"), "no value");
    HKEY w = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "W", 0, KEY_READ, &w), ERROR_SUCCESS);
    EXPECT_EQ(at(w, "B\\D"), "W\\B\\D"); // the same names below another base
    // An open of other text, then one that shares bytes with the last ASCII open.
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\D"), "W\\B\\D");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\BC\\\xc3\xa9"), "W\\BC\\\xc3\xa9");
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\C"), "W\\B\\C");
    // A key deleted and made again is found afresh.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "W\\B\\D"), ERROR_SUCCESS);
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\D"), "-");
    RegCloseKey(create(HKEY_CURRENT_USER, "W\\B\\D"));
    EXPECT_EQ(at(HKEY_CURRENT_USER, "W\\B\\C"), "W\\B\\C");
    HKEY made = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "W\\B\\D", 0, KEY_READ, &made), ERROR_SUCCESS);
    RegCloseKey(made);
    RegCloseKey(w);
}

TEST_F(WinRegApi, EmptySubkeyOpensANewHandleToTheBase)
{
    HKEY key = create(HKEY_CURRENT_USER, "A");
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_ALL_ACCESS, &again), ERROR_SUCCESS);
    EXPECT_NE(again, key);
    setString(again, "v", "x");
    EXPECT_EQ(valueNames(key), std::vector<std::string>{"v"});
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(again), ERROR_INVALID_HANDLE);
    RegCloseKey(key);
}

TEST_F(WinRegApi, PredefinedViewsShowTheSameKeys)
{
    HKEY cls = create(HKEY_CLASSES_ROOT, ".quarnel");
    RegCloseKey(cls);
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\.quarnel", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Mine"));
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software\\Mine", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(create(HKEY_CURRENT_CONFIG, "Profile"));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "System\\CurrentControlSet\\Hardware Profiles\\Current\\Profile", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    // A root opened with no subkey comes back as itself (Wine does this for all seven).
    ASSERT_EQ(RegOpenKeyExA(HKEY_PERFORMANCE_DATA, "", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(RegOpenKeyExA(HKEY_PERFORMANCE_DATA, "x", 0, KEY_ALL_ACCESS, &key),
              ERROR_INVALID_HANDLE);
    ASSERT_EQ(RegOpenKeyExA(HKEY_DYN_DATA, "", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_TRUE(subkeys(key).empty());
    RegCloseKey(key);
}

TEST_F(WinRegApi, EnumerationIsSortedByLowerCasedNameWithDefaultFirst)
{
    HKEY key = create(HKEY_CURRENT_USER, "Order");
    for (const char *name : {"zeta", "B", "_u", "Alpha", "10", "9", "[", "a b", "a"})
        RegCloseKey(create(key, name));
    EXPECT_EQ(subkeys(key),
              (std::vector<std::string>{"10", "9", "[", "_u", "a", "a b", "Alpha", "B", "zeta"}));
    for (const char *name : {"b", "", "A"})
        setString(key, name, "x");
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"", "A", "b"}));
    RegCloseKey(key);
}

TEST_F(WinRegApi, QueryInfoKeyIsExact)
{
    HKEY key = create(HKEY_CURRENT_USER, "Info");
    RegCloseKey(create(key, "short"));
    RegCloseKey(create(key, "muchlonger"));
    setString(key, "v", "hello"); // 5 bytes, stored as UTF-16: 10
    setString(key, "longer name", "");
    DWORD subkeysCount, maxSub, values, maxName, maxData;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeysCount, &maxSub, nullptr,
                               &values, &maxName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeysCount, 2u);
    EXPECT_EQ(maxSub, 10u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 11u);
    EXPECT_EQ(maxData, 10u);
    // Each maximum asked alone is the same as asked with all the others.
    maxName = maxData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                     nullptr, nullptr, nullptr);
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxData, nullptr, nullptr);
    EXPECT_EQ(maxName, 11u);
    EXPECT_EQ(maxData, 10u);
    HKEY child = nullptr;
    RegOpenKeyExA(key, "muchlonger", 0, KEY_ALL_ACCESS, &child);
    RegCloseKey(child);
    ASSERT_EQ(RegDeleteKeyA(key, "muchlonger"), ERROR_SUCCESS);
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeysCount, &maxSub, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(subkeysCount, 1u);
    EXPECT_EQ(maxSub, 5u);
    RegCloseKey(key);
}

TEST_F(WinRegApi, QueryValueReportsSizeAndMoreData)
{
    HKEY key = create(HKEY_CURRENT_USER, "Q");
    setString(key, "s", std::string("ab\0cd\0", 6));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "S", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 6u);
    char buf[8] = {};
    size = 3;
    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, &type, reinterpret_cast<BYTE *>(buf), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    size = 6;
    ASSERT_EQ(RegQueryValueExA(key, "s", nullptr, &type, reinterpret_cast<BYTE *>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf, 6), std::string("ab\0cd\0", 6));
    // Without a terminator the size written comes back unchanged.
    setString(key, "raw", "abc");
    RegQueryValueExA(key, "raw", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, reinterpret_cast<BYTE *>(buf), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(WinRegApi, NonAsciiNamesAndDataRoundTrip)
{
    const std::string name = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE4\xB8\xAD";
    const std::string latin1 = "caf\xE9\x80\xFF";
    HKEY key = create(HKEY_CURRENT_USER, name.c_str());
    setString(key, name.c_str(), latin1);
    setString(key, "multi", std::string("\xE9\0b\0\0", 5), REG_MULTI_SZ);
    char buf[64];
    DWORD size = sizeof buf;
    ASSERT_EQ(
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf, size), latin1);
    size = sizeof buf;
    ASSERT_EQ(
        RegQueryValueExA(key, "multi", nullptr, nullptr, reinterpret_cast<BYTE *>(buf), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf, size), std::string("\xE9\0b\0\0", 5));
    HKEY parent = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_ALL_ACCESS, &parent);
    const auto names = subkeys(parent);
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
    RegCloseKey(parent);
    RegCloseKey(key);
}

TEST_F(WinRegApi, AllTypesKeepTheirBytes)
{
    HKEY key = create(HKEY_CURRENT_USER, "Types");
    const unsigned char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (DWORD type :
         {DWORD(REG_NONE), DWORD(REG_BINARY), DWORD(REG_DWORD), DWORD(REG_DWORD_BIG_ENDIAN),
          DWORD(REG_QWORD), DWORD(0x1234), DWORD(0xFFFF0012)}) {
        const std::string name = "t" + std::to_string(type);
        ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type, bytes, type == REG_DWORD ? 4 : 8),
                  ERROR_SUCCESS);
        unsigned char out[8] = {};
        DWORD size = sizeof out, got = 0;
        ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, &got, out, &size), ERROR_SUCCESS);
        EXPECT_EQ(got, type);
        EXPECT_EQ(size, type == REG_DWORD ? 4u : 8u);
        EXPECT_EQ(std::memcmp(out, bytes, size), 0);
    }
    ASSERT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    DWORD size = 99;
    RegQueryValueExA(key, "empty", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(size, 0u);
    RegCloseKey(key);
}

TEST_F(WinRegApi, DeleteKeyRefusesParentsAndDeletedHandlesFail)
{
    HKEY key = create(HKEY_CURRENT_USER, "Del\\Child");
    HKEY parent = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Del", 0, KEY_ALL_ACCESS, &parent);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Del"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Del\\Missing"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegDeleteKeyA(parent, "child"), ERROR_SUCCESS);
    DWORD n = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 0), ERROR_KEY_DELETED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Del"), ERROR_SUCCESS);
    RegCloseKey(parent);

    // Opens after the keys of an earlier open went and came again reach the new keys,
    // not the old ones a handle keeps.
    HKEY deep = nullptr;
    HKEY held[] = {create(HKEY_CURRENT_USER, "Del"), create(HKEY_CURRENT_USER, "Del\\Child"),
                   create(HKEY_CURRENT_USER, "Del\\Child\\Grand")};
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Del\\Child\\Grand", 0, KEY_READ, &deep),
              ERROR_SUCCESS);
    RegCloseKey(deep);
    for (const char *path : {"Del\\Child\\Grand", "Del\\Child", "Del"})
        ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Del\\Child\\Grand", 0, KEY_READ, &deep),
              ERROR_FILE_NOT_FOUND);
    HKEY again = create(HKEY_CURRENT_USER, "Del\\Child\\Grand");
    setString(again, "v", "new");
    RegCloseKey(again);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Del\\Child\\Grand", 0, KEY_READ, &deep),
              ERROR_SUCCESS);
    EXPECT_EQ(valueNames(deep), std::vector<std::string>{"v"});
    RegCloseKey(deep);
    for (HKEY h : held)
        RegCloseKey(h);
}

TEST_F(WinRegApi, BadInputChangesNothing)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_ALL_ACCESS, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(uintptr_t(0x4444)), "", 0, KEY_ALL_ACCESS, &key),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    // Wine takes key names of up to 256 units, one more than Windows.
    const std::string longName(257, 'k');
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, longName.substr(1).c_str(), 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    HKEY v = create(HKEY_CURRENT_USER, "V");
    EXPECT_EQ(RegSetValueExA(v, "n", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    // Data past what a value can hold is refused before it is read.
    const BYTE byte = 1;
    EXPECT_EQ(RegSetValueExA(v, "n", 0, REG_BINARY, &byte, 0x80000000u), ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegSetValueExW(v, u"n", 0, REG_BINARY, &byte, 0xFFFFFFFFu), ERROR_OUTOFMEMORY);
    EXPECT_EQ(valueNames(v).size(), 0u);
    RegCloseKey(v);
}

TEST_F(WinRegApi, HandlesCarryTheRightsTheyWereOpenedWith)
{
    RegCloseKey(create(HKEY_CURRENT_USER, "R\\Sub"));
    HKEY read = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_READ, &read), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(read, "v", 0, REG_BINARY, reinterpret_cast<const BYTE *>("x"), 1),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(read, "v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(subkeys(read), std::vector<std::string>{"Sub"});
    RegCloseKey(read);
    HKEY write = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, 0x40000000 /* GENERIC_WRITE */, &write),
              ERROR_SUCCESS);
    setString(write, "v", "x");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(write, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    char name[8];
    DWORD len = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(write, 0, name, &len, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    // Deleting needs no right on the handle the name is relative to.
    EXPECT_EQ(RegDeleteKeyA(write, "Sub"), ERROR_SUCCESS);
    RegCloseKey(write);
}

TEST_F(WinRegApi, ClassGoesWhereWineCreatesKeys)
{
    auto classOf = [](HKEY base, const char *path) {
        HKEY key = nullptr;
        char cls[32] = {};
        DWORD len = sizeof cls;
        RegOpenKeyExA(base, path, 0, KEY_ALL_ACCESS, &key);
        RegQueryInfoKeyA(key, cls, &len, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return std::string(cls, len);
    };
    HKEY top = create(HKEY_CURRENT_USER, "C");
    auto make = [&](const char *path, const char *cls) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(top, path, 0, const_cast<LPSTR>(cls), 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    };
    make("A", "first");
    make("A\\B", "one"); // one key missing: only the new key gets it
    EXPECT_EQ(classOf(top, "A"), "first");
    make("A\\X\\Y", "two"); // two missing: every key of the path gets it
    EXPECT_EQ(classOf(top, "A"), "two");
    EXPECT_EQ(classOf(top, "A\\X"), "two");
    make("A", nullptr); // creating an existing key without a class clears it
    EXPECT_EQ(classOf(top, "A"), "");
    RegCloseKey(top);
}

// Points a link key at an NT path, as its SymbolicLinkValue holds it (UTF-16LE).
static void pointLinkAt(RegKey &link, std::u16string_view target)
{
    link.setValue(u"SymbolicLinkValue", REG_LINK, utf16leBytes<std::vector<uint8_t>>(target));
}

TEST_F(WinRegApi, LinksAreFollowedAndLoopsEnd)
{
    KeyStore &store = activeStore();
    RegKey &target = store.ensurePath(store.machine(), u"Software\\Target");
    bool created;
    target.addSubkey(u"Inside", created);
    RegKey &link = store.ensurePath(store.machine(), u"Software\\Link");
    link.isLink = true;
    pointLinkAt(link, u"\\Registry\\Machine\\Software\\Target");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Link\\Inside", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // Led elsewhere, the link's path reaches the new target at once.
    RegKey &other = store.ensurePath(store.machine(), u"Software\\Other\\Inside");
    other.setValue(u"there", REG_DWORD, std::vector<uint8_t>(4));
    pointLinkAt(link, u"\\Registry\\Machine\\Software\\Other");
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Link\\Inside", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), std::vector<std::string>{"there"});
    RegCloseKey(key);
    // A link to itself never resolves; Wine answers such loops with ERROR_INVALID_PARAMETER.
    pointLinkAt(link, u"\\Registry\\Machine\\Software\\Link");
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Link", 0, KEY_ALL_ACCESS, &key),
              ERROR_INVALID_PARAMETER);
}

} // namespace
