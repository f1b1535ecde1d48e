// Undo files proven by Wine: a delete and a replace done through the registry
// object, then Wine's own `regedit /s` with their undo files must give back
// every key and value as it was, byte for byte; so must our own applier.
#include "tests/wine/WineTestSupport.h"

#include "registry/api/TRegistry.h"
#include "registry/kinds/SourceKinds.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"
#include "registry/wine/WineRegReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace quarnel::platform;
using namespace quarnel::test;

namespace {

constexpr const char *kRoot = "HKEY_CURRENT_USER";
constexpr const char *kArea = "\\Software\\QuarnelUndo\\";

std::vector<uint8_t> utf16(std::u16string_view units)
{
    return utf16leBytes<std::vector<uint8_t>>(units);
}

std::vector<uint8_t> sz(std::u16string_view text)
{
    return utf16(std::u16string(text) + u'\0');
}

// Keys and values below Software\QuarnelUndo: type and stored bytes by path.
using Dump = std::map<std::u16string, std::pair<uint32_t, std::vector<uint8_t>>>;

Dump dumpBelow(const RegKey *top)
{
    Dump out;
    std::vector<std::pair<const RegKey *, std::u16string>> todo{{top, u""}};
    while (!todo.empty() && top) {
        const auto [key, path] = todo.back();
        todo.pop_back();
        out[path + u"\\"] = {key->isLink ? REG_LINK : ~0u, {}};
        for (const ValueRef v : key->values)
            out[path + u":" + v.name().str()] = {v.type, v.dataCopy()};
        for (const auto &child : key->subkeys)
            todo.push_back({child.get(), path + u"\\" + child->name().str()});
    }
    return out;
}

Dump dumpOfFile(const std::string &userReg)
{
    RegKey root;
    wine::Preamble preamble;
    const std::string text = readFile(userReg);
    EXPECT_TRUE(wine::readHive(text, root, preamble).ok);
    const RegKey *software = root.findSubkey(u"Software");
    return dumpBelow(software ? software->findSubkey(u"QuarnelUndo") : nullptr);
}

Dump dumpOfStore()
{
    RegKey *user = activeStore().users().findSubkey(activeStore().currentUserSid);
    return dumpBelow(&activeStore().ensurePath(*user, u"Software\\QuarnelUndo"));
}

void store(TRegistry &reg, const std::string &name, DWORD type, const std::vector<uint8_t> &data)
{
    reg.StoreStored(name, data, type);
}

// Every value type in the shapes that matter, under names that need escapes.
void fillValues(TRegistry &reg, const std::string &key)
{
    reg.CreatePath(kArea + key);
    ASSERT_TRUE(reg.OpenPath(kArea + key));
    std::vector<uint8_t> longBinary(300);
    for (std::size_t i = 0; i < longBinary.size(); ++i)
        longBinary[i] = uint8_t(i * 7);
    store(reg, "", REG_SZ, sz(u"default"));
    store(reg, "sz", REG_SZ, sz(u"C:\\Program Files\\\"q\" [x] ; = @ \r\n\t end"));
    store(reg, "sz empty", REG_SZ, sz(u""));
    store(reg, "sz none", REG_SZ, {});
    store(reg, "sz embedded", REG_SZ, utf16(std::u16string(u"a\0b\0", 4)));
    store(reg, "sz two nuls", REG_SZ, utf16(std::u16string(u"ab\0\0", 4)));
    store(reg, "sz unicode", REG_SZ, sz(u"caf\u00e9 \u20ac \U0001F600 \xd800 \x7f\x1b"));
    store(reg, "expand", REG_EXPAND_SZ, sz(u"%SystemRoot%\\x"));
    store(reg, "multi", REG_MULTI_SZ, utf16(std::u16string(u"one\0two\0\0", 9)));
    store(reg, "dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
    store(reg, "dword short", REG_DWORD, {1, 2});
    store(reg, "qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    store(reg, "binary empty", REG_BINARY, {});
    store(reg, "binary long", REG_BINARY, longBinary);
    store(reg, "none", REG_NONE, {});
    store(reg, "unusual", 0x1234, {9, 8, 7});
    store(reg, "q\"b\\ ]x [y]", REG_DWORD, {1, 0, 0, 0});
    store(reg, "@", REG_SZ, sz(u"at"));
    store(reg, "caf\xC3\xA9 \xE9\xFF", REG_BINARY, {0xE9}); // the last two bytes are not UTF-8
    store(reg, "line\r\nbreak", REG_SZ, sz(u"x"));
    // String data without its final NUL: Wine's regedit adds one (below).
    store(reg, "sz noterm", REG_SZ, utf16(u"ab"));
    store(reg, "sz odd", REG_SZ, {'a', 0, 'b', 0, 'c'});
}

// Wine's regedit stores string data that lacks a final NUL unit with one added;
// of odd length, the last byte gives way to that NUL and a stray byte of
// regedit's memory follows it. The undo file holds the exact bytes.
bool isWinesTerminatedForm(const std::vector<uint8_t> &exact, const std::vector<uint8_t> &wine)
{
    const std::size_t even = exact.size() / 2 * 2;
    if (wine.size() != exact.size() + 2 ||
        !std::equal(exact.begin(), exact.begin() + even, wine.begin()))
        return false;
    return wine[even] == 0 && wine[even + 1] == 0;
}

// Past the 32,766 units of a path that Wine's regedit takes.
const std::string kFarPath = [] {
    std::string path = "Del\\Tree\\Far";
    for (int i = 0; i < 140; ++i)
        path += "\\" + std::string(250, char('a' + i % 26));
    return path;
}();
const char *const kFar = kFarPath.c_str();

// What the undo files keep in lines of our own, which Wine's regedit skips.
bool regeditLeavesOut(std::u16string_view path)
{
    return path.ends_with(u":sz one") || path.find(u"new\nline") != path.npos ||
           path.find(u"cr\rkey") != path.npos || path.starts_with(u"\\Del\\Tree\\Far\\") ||
           path.starts_with(u"\\Del\\Tree\\Link\\") || path.starts_with(u"\\Del\\Tree\\Link:");
}

} // namespace

TEST(UndoByWine, RegeditGivesBackWhatADeleteAndAReplaceChanged)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        for (const char *key : {"Del\\Tree", "Del\\Tree\\k]x \"q\"\\Deeper",
                                "Del\\Tree\\caf\xC3\xA9", "Del\\Tree\\\xE9 tab\tkey", "Rep\\Data",
                                "Rep\\Ren", "Rep\\Move\\fooKey", "Rep\\Move\\fooKey\\Sub"})
            fillValues(reg, key);
        reg.CreatePath(std::string(kArea) + "Del\\Vals\\Empty");
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Del\\Vals"));
        store(reg, "single", REG_SZ, sz(u"gone"));
        reg.CreatePath(std::string(kArea) + "Del\\Dflt");
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Del\\Dflt"));
        store(reg, "", REG_SZ, sz(u"emptied"));
        // What regedit cannot take: a link, names with line breaks, a path longer
        // than it takes, string data of one byte.
        ASSERT_TRUE(reg.CreateLinkPath(std::string(kArea) + "Del\\Tree\\Link"));
        store(reg, "SymbolicLinkValue", REG_LINK,
              utf16(u"\\REGISTRY\\User\\" + activeStore().currentUserSid +
                    u"\\Software\\QuarnelUndo\\Del\\Vals"));
        for (const char *key :
             {"Del\\Tree", "Del\\Tree\\new\nline", "Del\\Tree\\cr\rkey\\below", kFar}) {
            reg.CreatePath(kArea + std::string(key));
            ASSERT_TRUE(reg.OpenPath(kArea + std::string(key)));
            store(reg, "v", REG_SZ, sz(u"x"));
            store(reg, "sz one", REG_SZ, {'x'});
        }
    }
    ASSERT_EQ(closeRegistry(), "");
    const Dump before = dumpOfFile(prefix + "/user.reg");
    ASSERT_GT(before.size(), 150u);

    ASSERT_EQ(openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::string area = std::string("Software\\QuarnelUndo\\");
    UndoCapture deleted, replaced;
    deleted.captureKey(kRoot, area + "Del\\Tree");
    deleted.captureValue(kRoot, area + "Del\\Vals", "single");
    deleted.captureValue(kRoot, area + "Del\\Vals", ""); // not set: must come back absent
    deleted.captureValue(kRoot, area + "Del\\Dflt", "");
    for (const char *name : {"sz", "expand", "multi"})
        replaced.captureValue(kRoot, area + "Rep\\Data", name);
    for (const auto &[from, to] : {std::pair{"sz", "sz new"},
                                   {"sz odd", "sz odd new"},
                                   {"caf\xC3\xA9 \xE9\xFF", "renamed \xE9\xFF"}}) {
        replaced.captureValue(kRoot, area + "Rep\\Ren", from);
        replaced.captureNewValueName(kRoot, area + "Rep\\Ren", to);
    }
    replaced.captureKey(kRoot, area + "Rep\\Move\\fooKey");
    replaced.captureNewKeyPath(kRoot, area + "Rep\\New\\Place\\barKey");
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.DeleteTree(std::string(kArea) + "Del\\Tree"));
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Del\\Vals"));
        ASSERT_TRUE(reg.RemoveValue("single"));
        reg.WriteText("", "");
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Del\\Dflt"));
        reg.WriteText("", "");
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Rep\\Data"));
        reg.WriteText("sz", "replaced");
        reg.WriteExpandText("expand", "%TEMP%");
        reg.WriteMultiText("multi", "x\0\0", 3);
        ASSERT_TRUE(reg.OpenPath(std::string(kArea) + "Rep\\Ren"));
        reg.RenameValueName("sz", "sz new");
        reg.RenameValueName("sz odd", "sz odd new");
        reg.RenameValueName("caf\xC3\xA9 \xE9\xFF", "renamed \xE9\xFF");
        reg.RelocateKey(std::string(kArea) + "Rep\\Move\\fooKey",
                        std::string(kArea) + "Rep\\New\\Place\\barKey", true);
    }
    writeFile(prefix + "/undo-delete.reg", deleted.file().write());
    writeFile(prefix + "/undo-replace.reg", replaced.file().write());
    ASSERT_EQ(closeRegistry(), "");
    const Dump changed = dumpOfFile(prefix + "/user.reg");
    ASSERT_NE(changed, before);
    ASSERT_TRUE(changed.count(u"\\Rep\\New\\Place\\barKey\\Sub\\"));

    // Our own applier, on a copy of the changed files: exact, also where Wine is not.
    const std::string copy = scratchPrefix();
    ASSERT_EQ(std::system(("cp '" + prefix + "'/*.reg '" + copy + "/'").c_str()), 0);
    ASSERT_EQ(openRegistryAt(copy, true).status, RegistryOpened::Status::Ok);
    EXPECT_EQ(ApplyUndoFile(prefix + "/undo-replace.reg"), std::vector<std::string>{});
    EXPECT_EQ(ApplyUndoFile(prefix + "/undo-delete.reg"), std::vector<std::string>{});
    EXPECT_EQ(dumpOfStore(), before);
    closeRegistry();

    // Wine's regedit, newest edit first; the status is regedit's.
    std::string out;
    const auto regedit = [&] {
        return runInPrefix(prefix,
                           "wine regedit /s \"" + prefix +
                               "/undo-replace.reg\" && wine regedit /s \"" + prefix +
                               "/undo-delete.reg\"; rc=$?; wineserver -w; exit $rc",
                           &out);
    };
    int status = regedit();
    Dump restored = dumpOfFile(prefix + "/user.reg");
    // Wine started beside other tests' Wine at times fails to start at all: then it
    // is run once more (importing the same files again changes nothing more).
    if (status != 0 || !std::all_of(before.begin(), before.end(), [&](const auto &entry) {
            return restored.count(entry.first) > 0;
        })) {
        status = regedit();
        restored = dumpOfFile(prefix + "/user.reg");
    }
    EXPECT_EQ(status, 0) << out;
    std::size_t terminatedByWine = 0, leftOut = 0;
    for (const auto &[path, value] : before) {
        const auto it = restored.find(path);
        if (it == restored.end()) {
            EXPECT_TRUE(regeditLeavesOut(path)) << "missing after regedit: " << BytesFromWide(path);
            leftOut += regeditLeavesOut(path);
            continue;
        }
        if (it->second == value) continue;
        const bool known = path.ends_with(u":sz noterm") || path.ends_with(u":sz odd");
        EXPECT_TRUE(known && it->second.first == value.first &&
                    isWinesTerminatedForm(value.second, it->second.second))
            << "differs after regedit: " << BytesFromWide(path);
        terminatedByWine += known;
    }
    for (const auto &[path, value] : restored)
        EXPECT_TRUE(before.count(path)) << "left over after regedit: " << BytesFromWide(path);
    // Both in each of the six keys that went and came back, and the renamed "sz odd".
    EXPECT_EQ(terminatedByWine, 13u);
    // Each of them left out whole, the keys on the way to them too.
    EXPECT_EQ(leftOut, std::size_t(std::count_if(before.begin(), before.end(), [](const auto &e) {
                  return regeditLeavesOut(e.first);
              })));
    EXPECT_GT(leftOut, 140u);
    // Nothing crashed: Wine's debugger leaves a key of its own when something does.
    EXPECT_EQ(readFile(prefix + "/user.reg").find("WineDbg"), std::string::npos);
}
