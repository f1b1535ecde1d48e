#include "registry/api/TRegistry.h"
#include "registry/api/PathSteps.h"
#include "registry/win32/KeyStore.h"

#include <gtest/gtest.h>

using quarnel::platform::KeyStore;
using quarnel::platform::setActiveStore;

namespace {

class TRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setActiveStore(std::make_shared<KeyStore>());
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.CreatePath("\\Software\\Test\\Sub");
        ASSERT_TRUE(reg.OpenPath("\\Software\\Test"));
    }

    void store(const std::string &name, const std::string &bytes, DWORD type)
    {
        ASSERT_EQ(RegSetValueExA(reg.KeyHandle(), name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size())),
                  ERROR_SUCCESS);
    }

    static std::string messageOf(const std::function<void()> &call)
    {
        try {
            call();
        } catch (const ERegistryException &e) {
            return e.what();
        }
        return "(nothing raised)";
    }

    TRegistry reg;
};

TEST_F(TRegistryTest, PathRules)
{
    EXPECT_EQ(reg.KeyPath(), "Software\\Test");
    // Relative to the open key; the recorded path joins both.
    ASSERT_TRUE(reg.OpenPath("Sub\\"));
    EXPECT_EQ(reg.KeyPath(), "Software\\Test\\Sub\\");
    // An empty relative path opens the open key again.
    ASSERT_TRUE(reg.OpenPath(""));
    EXPECT_EQ(reg.KeyPath(), "Software\\Test\\Sub\\\\");
    // A failed open keeps the previous key.
    EXPECT_FALSE(reg.OpenPath("\\Nowhere"));
    EXPECT_EQ(reg.KeyPath(), "Software\\Test\\Sub\\\\");
    reg.ClosePath();
    EXPECT_EQ(reg.KeyHandle(), nullptr);
    EXPECT_TRUE(reg.KeyPath().empty());
    // With nothing open a relative path resolves from the root; an empty one opens the root.
    ASSERT_TRUE(reg.OpenPath("Software\\Test"));
    EXPECT_EQ(reg.KeyPath(), "Software\\Test");
    reg.ClosePath();
    ASSERT_TRUE(reg.OpenPath(""));
    EXPECT_EQ(reg.KeyPath(), "");
}

TEST_F(TRegistryTest, SelectRootClosesOnlyOnChange)
{
    reg.SelectRoot(HKEY_CURRENT_USER);
    EXPECT_NE(reg.KeyHandle(), nullptr);
    reg.SelectRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.KeyHandle(), nullptr);
    reg.SelectRoot(nullptr);
    EXPECT_FALSE(reg.OpenPath("\\"));
    EXPECT_FALSE(reg.HasKey("\\Software"));
}

TEST_F(TRegistryTest, CreateRaisesWithThePathAsGiven)
{
    reg.SelectRoot(HKEY_PERFORMANCE_DATA);
    EXPECT_EQ(messageOf([&] { reg.CreatePath("\\X\\Y"); }),
              "Erzeugung von Schlüssel \\X\\Y misslungen");
}

TEST_F(TRegistryTest, ReadTextRules)
{
    EXPECT_EQ(reg.ReadText("missing"), "");
    store("nul", std::string("ab\0cd\0", 6), REG_SZ);
    EXPECT_EQ(reg.ReadText("nul"), "ab");
    store("exp", "%PATH%", REG_EXPAND_SZ);
    EXPECT_EQ(reg.ReadText("exp"), "%PATH%");
    store("multi", std::string("a\0\0", 3), REG_MULTI_SZ);
    EXPECT_EQ(messageOf([&] { reg.ReadText("multi"); }), "Ungültiger Datentyp für 'multi'");
    store("bin", "abcd", REG_BINARY);
    EXPECT_EQ(messageOf([&] { reg.ReadText("bin"); }), "Ungültiger Datentyp für 'bin'");
}

TEST_F(TRegistryTest, FetchValueGrowsItsBufferAndAgreesWithTheSingleReads)
{
    std::vector<char> bytes;
    TValueInfoRec info;
    const std::string longText(1000, 'x');
    store("long", longText, REG_SZ);
    ASSERT_TRUE(reg.FetchValue("long", info, bytes));
    EXPECT_EQ(info.Kind, TValueKind::vkString);
    EXPECT_EQ(info.DataSize, uint32_t(reg.QueryValueSize("long")));
    EXPECT_EQ(std::string(bytes.data(), info.DataSize), longText);
    // The room stays; a shorter value after it reports its own size.
    store("d", std::string("\x01\x02\x03\x04", 4), REG_DWORD);
    ASSERT_TRUE(reg.FetchValue("d", info, bytes));
    EXPECT_EQ(info.Kind, TValueKind::vkInteger);
    EXPECT_EQ(info.DataSize, 4u);
    EXPECT_GE(bytes.size(), longText.size());
    EXPECT_EQ(std::string(bytes.data(), 4), "\x01\x02\x03\x04");

    EXPECT_FALSE(reg.FetchValue("missing", info, bytes));
    EXPECT_EQ(info.Kind, TValueKind::vkUnknown);
    EXPECT_EQ(info.DataSize, 0u);
}

TEST_F(TRegistryTest, ReadDwordRules)
{
    store("d", std::string("\xFF\x00\x00\x00", 4), REG_DWORD);
    EXPECT_EQ(reg.ReadDword("d"), 255u);
    store("short", std::string("\x01\x02", 2), REG_DWORD);
    EXPECT_EQ(reg.ReadDword("short"), 0x0201u); // missing bytes read as zero
    store("bin4", "abcd", REG_BINARY);
    EXPECT_EQ(messageOf([&] { reg.ReadDword("bin4"); }), "Ungültiger Datentyp für 'bin4'");
    store("bin8", "abcdefgh", REG_BINARY);
    EXPECT_EQ(messageOf([&] { reg.ReadDword("bin8"); }), "Fehler beim Holen der Daten für 'bin8'");
    EXPECT_EQ(messageOf([&] { reg.ReadDword("missing"); }),
              "Fehler beim Holen der Daten für 'missing'");
}

TEST_F(TRegistryTest, ReadRawRules)
{
    store("q", "12345678", REG_QWORD);
    EXPECT_EQ(reg.QueryValueKind("q"), TValueKind::vkUnknown);
    char buf[8];
    EXPECT_EQ(reg.ReadRaw("q", buf, 8), 8);
    EXPECT_EQ(messageOf([&] { reg.ReadRaw("q", buf, 7); }), "Ungültiger Datentyp für 'q'");
    EXPECT_EQ(messageOf([&] { reg.ReadText("q"); }), "Ungültiger Datentyp für 'q'");
    EXPECT_EQ(messageOf([&] { reg.ReadDword("q"); }), "Fehler beim Holen der Daten für 'q'");
    EXPECT_EQ(reg.ReadRaw("missing", buf, 8), 0);
    store("s", "x", REG_SZ);
    EXPECT_EQ(messageOf([&] { reg.ReadRaw("s", buf, 8); }), "Ungültiger Datentyp für 's'");
}

TEST_F(TRegistryTest, WritingTheEmptyDefaultLeavesOneNul)
{
    reg.WriteText("", "");
    EXPECT_EQ(reg.QueryValueSize(""), 1);
    EXPECT_EQ(reg.ReadText(""), "");
    EXPECT_EQ(reg.QueryValueKind(""), TValueKind::vkString);
    reg.WriteExpandText("e", "%x%");
    EXPECT_EQ(reg.QueryValueKind("e"), TValueKind::vkExpandString);
    reg.WriteMultiText("m", "a\0b\0\0", 5);
    EXPECT_EQ(reg.QueryValueSize("m"), 5);
}

TEST_F(TRegistryTest, StoreFailureRaisesAndValueInfoFailsQuietly)
{
    TRegistry other;
    other.SelectRoot(HKEY_CURRENT_USER);
    ASSERT_TRUE(other.OpenPath("\\Software\\Test\\Sub"));
    ASSERT_TRUE(reg.OpenPath("\\Software\\Test"));
    ASSERT_EQ(RegDeleteKeyA(reg.KeyHandle(), "Sub"), ERROR_SUCCESS);
    EXPECT_EQ(messageOf([&] { other.WriteText("v", "x"); }),
              "Fehler beim Setzen der Daten für 'v'");
    TValueInfoRec info;
    EXPECT_FALSE(other.QueryValueInfo("v", info));
    EXPECT_EQ(other.QueryValueSize("v"), -1);
    TKeyInfoRec keyInfo;
    keyInfo.SubkeyCount = 7;
    EXPECT_FALSE(other.QueryKeyInfo(keyInfo));
    EXPECT_EQ(keyInfo.SubkeyCount, 0u);
}

TEST_F(TRegistryTest, ListsInEnumerationOrderAndHasKey)
{
    reg.CreatePath("b");
    reg.CreatePath("A");
    reg.WriteText("", "x");
    reg.WriteText("Z", "x");
    std::vector<std::string> names{"stale"};
    reg.ListSubkeys(names);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "Sub"}));
    reg.ListValueNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"", "Z"}));
    EXPECT_TRUE(reg.HasKey("Sub"));
    EXPECT_TRUE(reg.HasKey("\\Software\\Test\\Sub\\"));
    EXPECT_FALSE(reg.HasKey("Nope"));
    EXPECT_EQ(reg.AccessMask(), TRegistry::kAllAccess);
}

TEST_F(TRegistryTest, NonAsciiNamesEnumerateThroughSizedBuffers)
{
    const std::string name = "\xE4\xB8\xAD\xE6\x96\x87"; // two CJK characters: 6 bytes, 2 units
    reg.CreatePath(name);
    reg.WriteText(name, "x");
    std::vector<std::string> names;
    reg.ListSubkeys(names);
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
    reg.ListValueNames(names);
    EXPECT_EQ(names, std::vector<std::string>{name});
}

// The 8-bit calls take paths of up to 260 UTF-16 units; deeper keys are reached in steps.
TEST_F(TRegistryTest, PathsLongerThanTheCallsTakeWorkInSteps)
{
    const std::string wide = "\xF0\x9F\x94\x91"; // one character: 4 bytes, 2 units
    std::string fits = "Software", deep = "Software";
    for (int i = 0; i < 13; ++i) {
        fits += "\\\xC3\xA4\xC3\xA4" + std::string(16, 'a'); // ä: 2 bytes, 1 unit
        deep += "\\" + wide + std::string(20, 'b');
    }
    ASSERT_GT(fits.size(), 260u);
    ASSERT_LE(Utf16Length(fits), 260u);
    EXPECT_EQ(PathSteps(fits), std::vector<std::string>{fits});
    ASSERT_GT(Utf16Length(deep), 260u);
    const std::vector<std::string> steps = PathSteps(deep + "\\");
    std::string joined;
    for (const std::string &step : steps) {
        EXPECT_LE(Utf16Length(step), 260u);
        joined += (joined.empty() ? "" : "\\") + step;
    }
    EXPECT_EQ(joined, deep);

    reg.ClosePath();
    const std::size_t handles = quarnel::platform::openHandleCount();
    for (const std::string &path : {fits, deep}) {
        reg.CreatePath("\\" + path + "\\Leaf");
        EXPECT_TRUE(reg.HasKey("\\" + path + "\\Leaf"));
        ASSERT_TRUE(reg.OpenPath("\\" + path + "\\"));
        EXPECT_EQ(reg.KeyPath(), path + "\\");
        ASSERT_TRUE(reg.OpenPath("Leaf"));
        EXPECT_EQ(reg.KeyPath(), path + "\\\\Leaf");
    }
    reg.ClosePath();
    EXPECT_EQ(quarnel::platform::openHandleCount(), handles);
    // The calls themselves keep their limit.
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, KEY_READ, &h), ERROR_MORE_DATA);
    EXPECT_FALSE(reg.OpenPath("\\" + deep + "\\Missing\\" + deep));
    const std::string tooLong = deep + "\\" + std::string(300, 'n') + "\\x";
    EXPECT_EQ(messageOf([&] { reg.CreatePath(tooLong); }),
              "Erzeugung von Schlüssel " + tooLong + " misslungen");
    EXPECT_EQ(quarnel::platform::openHandleCount(), handles);
}

TEST_F(TRegistryTest, StoredBytesPassUnchangedBothWays)
{
    // Data the 8-bit calls would convert or cut, under names that are not valid UTF-8.
    const std::vector<std::pair<DWORD, std::vector<uint8_t>>> cases = {
        {REG_SZ, {'a', 0, 'b', 0, 'c'}}, // odd length
        {REG_SZ, {'a', 0, 'b', 0}},      // no terminator
        {REG_MULTI_SZ, {'a', 0, 0, 0, 0x00, 0xD8, 0, 0}},
        {REG_SZ, {}},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x1234, {9}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string name = "v\xE9\xFF" + std::to_string(i);
        reg.StoreStored(name, cases[i].second, cases[i].first);
        std::vector<uint8_t> bytes{42};
        DWORD type = 0;
        ASSERT_TRUE(reg.FetchStored(name, bytes, type)) << i;
        EXPECT_EQ(bytes, cases[i].second) << i;
        EXPECT_EQ(type, cases[i].first) << i;
    }
    // The same value the 8-bit calls address by that name.
    EXPECT_EQ(reg.QueryValueSize("v\xE9\xFF"
                                 "3"),
              0);
    std::vector<uint8_t> bytes;
    DWORD type = 0;
    EXPECT_FALSE(reg.FetchStored("missing", bytes, type));
    ASSERT_EQ(RegDeleteKeyA(reg.RootHandle(), "Software\\Test\\Sub"), ERROR_SUCCESS);
    ASSERT_TRUE(reg.OpenPath("\\Software\\Test"));
    TRegistry gone;
    gone.SelectRoot(HKEY_CURRENT_USER);
    ASSERT_TRUE(gone.OpenPath("\\Software\\Test"));
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Test"));
    EXPECT_EQ(messageOf([&] { gone.StoreStored("v", {1}, REG_BINARY); }),
              "Fehler beim Setzen der Daten für 'v'");
    EXPECT_EQ(messageOf([&] { gone.FetchStored("v", bytes, type); }),
              "Fehler beim Holen der Daten für 'v'");
}

TEST(TValueKindMapping, KindsAndTypes)
{
    EXPECT_EQ(KindOfRegType(REG_MULTI_SZ), TValueKind::vkMultiString);
    EXPECT_EQ(KindOfRegType(REG_QWORD), TValueKind::vkUnknown);
    EXPECT_EQ(KindOfRegType(REG_DWORD_BIG_ENDIAN), TValueKind::vkDwordBigEndian);
    EXPECT_EQ(RegTypeOfKind(TValueKind::vkMultiString), DWORD(REG_MULTI_SZ));
    EXPECT_EQ(RegTypeOfKind(TValueKind::vkDwordLittleEndian), DWORD(REG_DWORD));
    EXPECT_EQ(RegTypeOfKind(TValueKind::vkUnknown), DWORD(REG_NONE));
}

} // namespace
