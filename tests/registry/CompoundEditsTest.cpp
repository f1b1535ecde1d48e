#include "registry/api/TRegistry.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"

#include "tests/support/SmallStack.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <stdexcept>

using namespace quarnel::platform;
using std::string_literals::operator""s;

namespace {

// Registry type and bytes of a value, or "key" for a key, by path below the dumped key.
using Dump = std::map<std::string, std::pair<DWORD, std::string>>;

constexpr DWORD kKeyMark = 0xFFFFFFFF;

// Refuses (or throws at) the Nth change of the store.
class FailNth : public StoreHooks
{
public:
    FailNth(int n, bool throwIt) : m_left(n), m_throw(throwIt) {}
    long beforeChange(const RegKey &) override
    {
        if (--m_left != 0) return 0;
        fired = true;
        if (m_throw) throw std::runtime_error("injected");
        return ERROR_CANTWRITE;
    }
    bool fired = false;

private:
    int m_left;
    bool m_throw;
};

class CompoundEditsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setActiveStore(std::make_shared<KeyStore>());
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.CreatePath("\\Software\\T");
        baseHandles = openHandleCount();
    }

    static void makeLink(RegKey &parent, const std::u16string &name, const std::u16string &target)
    {
        bool created;
        RegKey &link = parent.addSubkey(name, created);
        link.isLink = true;
        link.setValue(u"SymbolicLinkValue", REG_LINK, utf16leBytes<std::vector<uint8_t>>(target));
    }

    // Makes Software\T\L a symbolic link to Software\T\A; returns T.
    static RegKey &makeLinkToA()
    {
        RegKey &t =
            activeStore().ensurePath(activeStore().users(), u"S-1-5-21-0-0-0-1000\\Software\\T");
        makeLink(t, u"L", u"\\REGISTRY\\User\\S-1-5-21-0-0-0-1000\\Software\\T\\A");
        return t;
    }

    static void set(const std::string &key, const std::string &name, DWORD type,
                    const std::string &bytes)
    {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        const auto *data = reinterpret_cast<const BYTE *>(bytes.data());
        ASSERT_EQ(RegSetValueExA(h, name.c_str(), 0, type, data, DWORD(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(h);
    }

    static void dumpInto(HKEY h, const std::string &prefix, Dump &out)
    {
        char name[1024];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name, type = 0, size = 0;
            if (RegEnumValueA(h, i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                break;
            std::string data(size, '\0');
            RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
            out[prefix + ":" + name] = {type, data};
        }
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(h, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
            out[prefix + name + "\\"] = {kKeyMark, ""};
            HKEY child = nullptr;
            ASSERT_EQ(RegOpenKeyExA(h, name, 0, KEY_ALL_ACCESS, &child), ERROR_SUCCESS);
            dumpInto(child, prefix + name + "\\", out);
            RegCloseKey(child);
        }
    }

    static Dump dump(const std::string &path)
    {
        Dump out;
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &h) == 0) {
            dumpInto(h, "", out);
            RegCloseKey(h);
        }
        return out;
    }

    // Values of every type the registry knows and a few it does not, with and without data.
    static void fillValues(const std::string &key, int count)
    {
        static const DWORD types[] = {REG_NONE,
                                      REG_SZ,
                                      REG_EXPAND_SZ,
                                      REG_BINARY,
                                      REG_DWORD,
                                      REG_DWORD_BIG_ENDIAN,
                                      REG_LINK,
                                      REG_MULTI_SZ,
                                      REG_RESOURCE_LIST,
                                      REG_FULL_RESOURCE_DESCRIPTOR,
                                      REG_RESOURCE_REQUIREMENTS_LIST,
                                      REG_QWORD,
                                      0x1234,
                                      0xFFFF0012};
        set(key, "", REG_SZ, "default\0"s);
        for (int i = 0; i < count; ++i) {
            const DWORD type = types[i % std::size(types)];
            std::string bytes = "v" + std::to_string(i) + "\xC3\xA4";
            if (type == REG_MULTI_SZ)
                bytes += "\0second\0\0"s;
            else if (type != REG_BINARY && type != REG_NONE)
                bytes += "\0\x01\xFF"s;
            if (i % 17 == 5) bytes.clear(); // values without data
            set(key, "val" + std::to_string(i), type, bytes);
        }
    }

    // String data of odd byte length, which the 8-bit calls cannot carry whole.
    static RegKey &storeKey(const std::u16string &path)
    {
        return activeStore().ensurePath(activeStore().users(),
                                        u"S-1-5-21-0-0-0-1000\\Software\\T\\" + path);
    }
    static const std::vector<uint8_t> &oddBytes()
    {
        static const std::vector<uint8_t> bytes{'a', 0, 'b'};
        return bytes;
    }
    static std::vector<uint8_t> stored(const std::u16string &path, std::u16string_view name)
    {
        const auto value = storeKey(path).findValue(name);
        return value ? value->data().bytes() : std::vector<uint8_t>{};
    }

    static void buildTree(const std::string &key, int levels, int siblings, int values)
    {
        fillValues(key, values);
        if (levels == 0) return;
        for (int i = 0; i < siblings; ++i)
            buildTree(key + "\\k" + std::to_string(i), levels - 1, siblings, values);
    }

    void deepTrees();

    void expectClean(HKEY openKey)
    {
        EXPECT_EQ(reg.KeyHandle(), openKey);
        EXPECT_EQ(openHandleCount(), baseHandles + (openKey ? 1 : 0));
    }

    TRegistry reg;
    std::size_t baseHandles = 0;
};

TEST_F(CompoundEditsTest, DeleteTreeRemovesEveryLevelAlsoOfTheOpenKey)
{
    buildTree("Software\\T\\A", 3, 4, 5);
    buildTree("Software\\T\\B", 2, 3, 2);
    set("Software\\T\\Keep", "v", REG_SZ, "x"s);
    ASSERT_TRUE(reg.OpenPath("\\Software\\T\\A"));
    const HKEY openKey = reg.KeyHandle();
    EXPECT_TRUE(reg.DeleteTree("\\Software\\T\\A\\"));
    expectClean(openKey);
    EXPECT_FALSE(reg.DeleteTree("\\Software\\T\\A"));
    EXPECT_FALSE(reg.DeleteTree("\\Software\\T\\Missing"));
    reg.ClosePath();
    ASSERT_TRUE(reg.OpenPath("\\Software\\T\\B"));
    EXPECT_TRUE(reg.DeleteTree("")); // the empty relative path names the open key
    reg.ClosePath();
    EXPECT_FALSE(reg.HasKey("\\Software\\T\\A"));
    EXPECT_FALSE(reg.HasKey("\\Software\\T\\B"));
    EXPECT_EQ(dump("Software\\T").size(), 2u); // Keep and its value
    // The root cannot go, so nothing below it goes either.
    EXPECT_FALSE(reg.DeleteTree("\\"));
    EXPECT_FALSE(reg.DeleteTree(""));
    EXPECT_EQ(dump("Software\\T").size(), 2u);
    expectClean(nullptr);
}

// What the registry refuses to delete, DeleteTree refuses before it empties
// anything; the rest it deletes. Each refusal is checked against the registry.
TEST_F(CompoundEditsTest, DeleteTreeEmptiesNothingTheRegistryWillNotDelete)
{
    struct Case
    {
        HKEY root;
        std::string path;
        bool goes;
    };
    std::string deep = "Software";
    for (int i = 0; deep.size() < 400; ++i)
        deep += "\\Level" + std::to_string(i) + std::string(20, 'x');
    // HKEY_LOCAL_MACHINE\U links to \REGISTRY\User, where the hives of the users are.
    const Case cases[] = {
        {HKEY_USERS, "S-1-5-21-0-0-0-1000", false},
        {HKEY_USERS, ".Default", false},
        {HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software", true},
        {HKEY_CURRENT_USER, "", false},
        {HKEY_CURRENT_USER, "Software", true},
        {HKEY_CURRENT_USER, deep, true},
        {HKEY_LOCAL_MACHINE, "", false},
        {HKEY_LOCAL_MACHINE, "Software", true}, // a hive only on Windows
        {HKEY_CLASSES_ROOT, ".txt", true},
        {HKEY_CURRENT_CONFIG, "Software", true},
        {HKEY_LOCAL_MACHINE, "U\\S-1-5-21-0-0-0-1000", false},
        {HKEY_LOCAL_MACHINE, "U\\S-1-5-21-0-0-0-1000\\Software", true},
        {HKEY_LOCAL_MACHINE, "U", true}, // the link itself
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        setActiveStore(std::make_shared<KeyStore>());
        makeLink(activeStore().machine(), u"U", u"\\REGISTRY\\User");
        const std::string key = "\\" + c.path, child = (c.path.empty() ? "" : key) + "\\Child";
        TRegistry r;
        r.SelectRoot(c.root);
        r.CreatePath(child);
        ASSERT_TRUE(r.HasKey(child));
        EXPECT_EQ(r.DeleteTree(key), c.goes);
        if (c.goes) {
            EXPECT_FALSE(r.HasKey(key));
            continue;
        }
        EXPECT_TRUE(r.HasKey(child));
        // Also the registry refuses the key, once it is empty. (The root itself is
        // never deleted, whatever the registry would do.)
        ASSERT_TRUE(r.DeleteTree(child));
        if (!c.path.empty()) {
            EXPECT_NE(RegDeleteKeyA(c.root, c.path.c_str()), ERROR_SUCCESS);
        }
    }
    // Relative to an open key, the same rule.
    TRegistry r;
    r.SelectRoot(HKEY_USERS);
    r.CreatePath("\\.Default\\Child");
    ASSERT_TRUE(r.OpenPath(""));
    EXPECT_FALSE(r.DeleteTree(".Default"));
    EXPECT_TRUE(r.HasKey(".Default\\Child"));
}

TEST_F(CompoundEditsTest, DeleteTreeFailingHalfwayKeepsWhatWasDone)
{
    for (const bool throwIt : {false, true}) {
        buildTree("Software\\T\\D", 2, 4, 1); // 21 keys
        ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
        const HKEY openKey = reg.KeyHandle();
        auto hook = std::make_shared<FailNth>(6, throwIt);
        activeStore().setHooks(hook);
        if (throwIt)
            EXPECT_THROW(reg.DeleteTree("D"), std::runtime_error);
        else
            EXPECT_FALSE(reg.DeleteTree("D"));
        activeStore().setHooks(std::make_shared<StoreHooks>());
        expectClean(openKey);
        std::size_t keys = 0;
        for (const auto &e : dump("Software\\T\\D"))
            keys += e.second.first == kKeyMark;
        // The five deletes before the failure stay. A refused delete leaves only
        // that key and its parent; an exception stops the whole walk.
        EXPECT_EQ(keys, throwIt ? 20u - 5u : 2u);
        EXPECT_TRUE(reg.DeleteTree("D"));
        reg.ClosePath();
    }
}

TEST_F(CompoundEditsTest, RenameKeepsTypeAndBytesOfEveryValue)
{
    fillValues("Software\\T", 300);
    const Dump before = dump("Software\\T");
    ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
    for (int i = 0; i < 300; ++i)
        reg.RenameValueName("val" + std::to_string(i), "new" + std::to_string(i));
    reg.RenameValueName("", "formerDefault");
    const Dump after = dump("Software\\T");
    for (const auto &[path, value] : before) {
        const std::string name = path.substr(1);
        const std::string renamed = name.empty() ? "formerDefault" : "new" + name.substr(3);
        SCOPED_TRACE(name);
        // Values without data too.
        EXPECT_EQ(after.count(":" + name), 0u);
        ASSERT_EQ(after.count(":" + renamed), 1u);
        EXPECT_EQ(after.at(":" + renamed), value);
    }
    // A named value may become the default value again.
    reg.RenameValueName("formerDefault", "");
    EXPECT_EQ(reg.ReadText(""), "default");
    // Every stored byte goes with the new name.
    storeKey(u"").setValue(u"odd", REG_SZ, oddBytes());
    reg.RenameValueName("odd", "odd2");
    EXPECT_EQ(stored(u"", u"odd2"), oddBytes());
    expectClean(reg.KeyHandle());
}

TEST_F(CompoundEditsTest, RenameNeverLosesTheValue)
{
    set("Software\\T", "q", 0xFFFF0012, "\x01\x02\x03"s);
    set("Software\\T", "b", REG_SZ, "b\0"s);
    ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
    const HKEY openKey = reg.KeyHandle();
    const Dump before = dump("Software\\T");
    reg.RenameValueName("q", "b");
    reg.RenameValueName("q", "Q"); // the same value by the registry's rules
    reg.RenameValueName("missing", "c");
    EXPECT_EQ(dump("Software\\T"), before);
    // The store fails: the value keeps its old name.
    activeStore().setHooks(std::make_shared<FailNth>(1, false));
    EXPECT_THROW(reg.RenameValueName("q", "r"), ERegistryException);
    activeStore().setHooks(std::make_shared<FailNth>(1, true));
    EXPECT_THROW(reg.RenameValueName("q", "r"), std::runtime_error);
    EXPECT_TRUE(reg.HasValue("q"));
    EXPECT_FALSE(reg.HasValue("r"));
    // The remove fails: both names hold the value, none is lost.
    activeStore().setHooks(std::make_shared<FailNth>(2, false));
    reg.RenameValueName("q", "r");
    EXPECT_EQ(dump("Software\\T").at(":q"), dump("Software\\T").at(":r"));
    expectClean(openKey);
}

TEST_F(CompoundEditsTest, RelocateCopiesTheWholeTreeExactly)
{
    buildTree("Software\\T\\Old", 3, 5, 3);
    fillValues("Software\\T\\Old\\k1", 200);         // also values of several types without data
    set("Software\\T\\Old\\k0", "", REG_SZ, ""s);    // a default value without data
    reg.CreatePath("\\Software\\T\\Old\\k2\\Empty"); // no default value: none is made
    storeKey(u"Old\\k3").setValue(u"odd", REG_EXPAND_SZ, oddBytes());
    const Dump source = dump("Software\\T\\Old");
    ASSERT_TRUE(reg.OpenPath("\\Software\\T\\Old"));
    const HKEY openKey = reg.KeyHandle();
    reg.RelocateKey("\\Software\\T\\Old", "\\Software\\T\\Copy", false);
    EXPECT_EQ(dump("Software\\T\\Copy"), source);
    EXPECT_EQ(dump("Software\\T\\Old"), source);
    // Moving deletes the old key, also while it is the open one.
    reg.RelocateKey("\\Software\\T\\Old", "\\Software\\T\\New\\Path", true);
    expectClean(openKey);
    reg.ClosePath();
    EXPECT_FALSE(reg.HasKey("\\Software\\T\\Old"));
    EXPECT_EQ(dump("Software\\T\\New\\Path"), source);
    EXPECT_EQ(stored(u"New\\Path\\k3", u"odd"), oddBytes());
}

TEST_F(CompoundEditsTest, RelocateOntoItselfOrAnExistingKeyChangesNothing)
{
    buildTree("Software\\T\\Key", 2, 2, 2);
    buildTree("Software\\T\\Other", 1, 1, 1);
    const Dump before = dump("Software");
    // Onto an existing key, and onto itself spelt in another case: the registry
    // sees one key, so it keeps its name and contents.
    reg.RelocateKey("\\Software\\T\\Key", "\\Software\\T\\Other", true);
    reg.RelocateKey("\\Software\\T\\Key", "\\Software\\T\\KEY", true);
    reg.RelocateKey("\\Software\\T\\Key", "\\Software\\T\\Key\\", false);
    reg.RelocateKey("\\Software\\T\\Missing", "\\Software\\T\\New", true);
    EXPECT_EQ(dump("Software"), before);
    expectClean(nullptr);
    // A user's whole registry does not move: it could only be copied.
    TRegistry users;
    users.SelectRoot(HKEY_USERS);
    users.RelocateKey("\\S-1-5-21-0-0-0-1000", "\\S-1-5-21-0-0-0-1001", true);
    EXPECT_FALSE(users.HasKey("\\S-1-5-21-0-0-0-1001"));
    EXPECT_EQ(dump("Software"), before);
}

TEST_F(CompoundEditsTest, RelocateRefusesAMoveBelowItself)
{
    buildTree("Software\\T\\Key", 2, 2, 2);
    reg.CreatePath("\\Software\\T\\\xC3\x84"); // Ä
    const Dump before = dump("Software");
    reg.RelocateKey("\\Software\\T\\Key", "\\Software\\T\\Key\\k0\\Below", true);
    reg.RelocateKey("\\Software\\T\\Key", "\\software\\t\\KEY\\\\New\\", true);
    reg.RelocateKey("\\Software\\T\\\xC3\x84", "\\Software\\T\\\xC3\xA4\\x", true); // ä
    reg.RelocateKey("\\", "\\Software\\T\\Top", true);
    ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
    reg.RelocateKey("Key", "\\Software\\T\\Key\\New", true); // relative to the open key
    reg.RelocateKey("", "New", true);                        // the open key into itself
    EXPECT_EQ(dump("Software"), before);
    expectClean(reg.KeyHandle());
}

// The checked forms say why they refuse and change nothing then; given what a
// caller expects to be there, they judge that instead of the registry.
TEST_F(CompoundEditsTest, CheckedRenameAndMoveSayWhyTheyRefuseAndChangeNothing)
{
    buildTree("Software\\T\\Key", 1, 2, 1);
    set("Software\\T\\Key", "q", REG_SZ, "q\0"s);
    set("Software\\T\\Key", "b", REG_SZ, "b\0"s);
    set("Software\\T\\Other", "v", REG_SZ, "1\0"s);
    const Dump before = dump("Software");
    ASSERT_TRUE(reg.OpenPath("\\Software\\T\\Key"));
    struct Case
    {
        bool key;
        std::string from, to, why;
    };
    const std::string t = "\\Software\\T\\";
    const std::vector<Case> cases = {
        {false, "q", "b", "a value named b already exists"},
        {false, "q", "Q", "a name that differs only in letter case names the same value"},
        {false, "missing", "c", "the value is gone"},
        {false, "q", "", "a value name cannot be empty"},
        {false, "q", "q", ""}, // no change to make
        {true, t + "Key", t + "Other",
         "the key HKEY_CURRENT_USER\\Software\\T\\Other already exists"},
        {true, t + "Key", t + "KEY", "a name that differs only in letter case names the same key"},
        {true, t + "Missing", t + "New", "the key is gone"},
        {true, t + "Key", t + "Key\\k0\\In",
         "HKEY_CURRENT_USER\\Software\\T\\Key\\k0\\In would lie inside the key itself"},
        {true, t + "Key", t + "Key", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to);
        EXPECT_EQ(c.key ? reg.WhyNotMoveKey(c.from, c.to) : reg.WhyNotRenameValue(c.from, c.to),
                  c.why);
        EXPECT_EQ(c.key ? reg.MoveKey(c.from, c.to) : reg.RenameValue(c.from, c.to), c.why);
    }
    EXPECT_EQ(dump("Software"), before);
    expectClean(reg.KeyHandle());
    EXPECT_EQ(reg.WhyNotRenameValue("q", "b", true, false), "");
    EXPECT_EQ(reg.WhyNotMoveKey(t + "Key", t + "Elsewhere", false, false), "the key is gone");
    reg.ClosePath();
    // What a delete takes along: two subkeys, the default value and val0 of each key,
    // q and b. A link counts with its values; what it leads to does not.
    const TRegistry::TreeCount tree = reg.CountTree(t + "Key");
    EXPECT_EQ(tree.subkeys, 2u);
    EXPECT_EQ(tree.values, 8u);
    buildTree("Software\\T\\A", 1, 3, 0);
    makeLinkToA();
    EXPECT_EQ(reg.CountTree(t + "L").values, 1u);
    expectClean(nullptr);
}

TEST_F(CompoundEditsTest, RelocateThroughALinkIntoItselfChangesNothing)
{
    // T\L is a link to T\A, so T\L\B\C lies inside T\A under another name.
    buildTree("Software\\T\\A", 2, 2, 1);
    makeLinkToA();
    const Dump before = dump("Software\\T\\A");

    reg.RelocateKey("\\Software\\T\\A", "\\Software\\T\\L\\B\\C", true);
    EXPECT_EQ(dump("Software\\T\\A"), before);
    expectClean(nullptr);
}

// Wine loads keys nested far deeper than the call stack allows recursing. On a
// small stack a recursion per level fails already at this depth.
TEST_F(CompoundEditsTest, DeepTreesAreDeletedWholeAndMovedOnlyAsDeepAsTheRegistryHolds)
{
    OnSmallStack([this] { deepTrees(); });
}

void CompoundEditsTest::deepTrees()
{
    // Made as the layer is used: one relative create of one name per level.
    const auto chain = [](const std::string &top, int levels) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, top.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (int i = 0; i < levels; ++i) {
            HKEY next = nullptr;
            ASSERT_EQ(
                RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr),
                ERROR_SUCCESS);
            RegCloseKey(key);
            key = next;
        }
        RegSetValueExA(key, "bottom", 0, REG_DWORD, reinterpret_cast<const BYTE *>("\1\0\0\0"), 4);
        RegCloseKey(key);
    };
    const auto levelsBelow = [](const std::string &path) {
        TRegistry r;
        if (!r.OpenPath(path)) return -1;
        int levels = 0;
        while (r.OpenPath("k"))
            ++levels;
        return r.HasValue("bottom") ? levels : -2;
    };
    chain("Software\\T\\Deep", 100000);
    chain("Software\\T\\AsDeepAsItGets", 512);
    chain("Software\\T\\OneTooDeep", 513);

    reg.RelocateKey("\\Software\\T\\AsDeepAsItGets", "\\Software\\T\\Moved", true);
    EXPECT_EQ(levelsBelow("\\Software\\T\\Moved"), 512);
    EXPECT_FALSE(reg.HasKey("\\Software\\T\\AsDeepAsItGets"));
    // Refused before anything is made.
    for (const char *tooDeep : {"OneTooDeep", "Deep"}) {
        SCOPED_TRACE(tooDeep);
        reg.RelocateKey("\\Software\\T\\"s + tooDeep, "\\Software\\T\\New\\Key", true);
        EXPECT_FALSE(reg.HasKey("\\Software\\T\\New"));
    }
    EXPECT_EQ(levelsBelow("\\Software\\T\\OneTooDeep"), 513);
    EXPECT_EQ(levelsBelow("\\Software\\T\\Deep"), 100000);

    ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
    EXPECT_TRUE(reg.DeleteTree("Deep"));
    EXPECT_FALSE(reg.HasKey("Deep"));
    expectClean(reg.KeyHandle());
    reg.ClosePath();

    // Freeing a deep tree, also with a key far down still held.
    chain("Software\\T\\Deep", 100000);
    RegKey *held =
        &activeStore().ensurePath(activeStore().users(), u"S-1-5-21-0-0-0-1000\\Software\\T\\Deep");
    for (int i = 0; i < 1000; ++i)
        held = held->subkeys.front().get();
    const KeyRef kept(held);
    setActiveStore(std::make_shared<KeyStore>());
    EXPECT_EQ(kept->parent, nullptr);
    EXPECT_TRUE(kept->deleted);
    EXPECT_EQ(kept->subkeys.size(), 1u);
}

TEST_F(CompoundEditsTest, DeleteTreeRemovesALinkButNotItsTarget)
{
    reg.CreatePath("\\Software\\T\\A\\Child");
    set("Software\\T\\A", "v", REG_DWORD, "\x01\x00\x00\x00"s);
    RegKey &t = makeLinkToA();
    const Dump target_before = dump("Software\\T\\A");

    EXPECT_TRUE(reg.DeleteTree("\\Software\\T\\L"));
    EXPECT_EQ(t.findSubkey(u"L"), nullptr);
    EXPECT_EQ(dump("Software\\T\\A"), target_before);
    EXPECT_EQ(openHandleCount(), baseHandles);
}

TEST_F(CompoundEditsTest, RelocateFailingAtAnyStepLeavesTheSourceAndNoHandles)
{
    buildTree("Software\\T\\Src", 2, 3, 4);
    const Dump source = dump("Software\\T\\Src");
    bool completed = false;
    for (int n = 1; !completed && n < 1000; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(reg.OpenPath("\\Software\\T"));
        const HKEY openKey = reg.KeyHandle();
        const bool throwIt = n % 2 == 0;
        auto hook = std::make_shared<FailNth>(n, throwIt);
        activeStore().setHooks(hook);
        bool raised = false;
        try {
            reg.RelocateKey("Src", "Dst\\Sub", true);
        } catch (const std::exception &) {
            raised = true;
        }
        activeStore().setHooks(std::make_shared<StoreHooks>());
        expectClean(openKey);
        completed = !hook->fired;
        // What was copied or is left of the source is unchanged, nothing is rolled back.
        const Dump copied = dump("Software\\T\\Dst\\Sub"), left = dump("Software\\T\\Src");
        for (const auto &e : copied)
            EXPECT_EQ(source.at(e.first), e.second);
        for (const auto &e : left)
            EXPECT_EQ(source.at(e.first), e.second);
        const bool copyComplete = copied == source;
        // Only deleting the old key can fail quietly; the source goes only once the copy is whole.
        if (!raised) {
            EXPECT_TRUE(copyComplete);
        }
        if (!copyComplete) {
            EXPECT_EQ(left, source);
        }
        reg.DeleteTree("Dst");
        reg.DeleteTree("Src");
        reg.ClosePath();
        buildTree("Software\\T\\Src", 2, 3, 4);
    }
    EXPECT_TRUE(completed);
}

} // namespace
