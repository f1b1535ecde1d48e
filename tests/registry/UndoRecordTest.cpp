#include "registry/api/TRegistry.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/WideText.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarnel::platform;

namespace {

constexpr const char *kRoot = "HKEY_CURRENT_USER";

std::vector<uint8_t> utf16(std::u16string_view units)
{
    return utf16leBytes<std::vector<uint8_t>>(units);
}

std::vector<uint8_t> bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

RegKey &keyAt(std::u16string_view path)
{
    return activeStore().ensurePath(activeStore().users(),
                                    std::u16string(u"S-1-5-21-0-0-0-1000\\Software\\Area\\") +
                                        std::u16string(path));
}

// Every value type in odd shapes, a default value, names beyond ASCII.
void fillValues(RegKey &key)
{
    key.setValue(u"", REG_SZ, utf16(std::u16string(u"default\0", 8)));
    key.setValue(u"odd", REG_SZ, bytes(std::string("a\0b", 3)));
    key.setValue(u"noterm", REG_SZ, utf16(u"ab"));
    key.setValue(u"one", REG_SZ, std::vector<uint8_t>{'x'});
    key.setValue(u"embedded", REG_SZ, utf16(std::u16string(u"a\0b\0", 4)));
    key.setValue(u"multi", REG_MULTI_SZ, utf16(std::u16string(u"a\0\xd800\0\0", 5)));
    key.setValue(u"qword", REG_QWORD, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8});
    key.setValue(u"none", REG_NONE, {});
    key.setValue(u"odd type", 0xFFFF0012, std::vector<uint8_t>{7});
    key.setValue(u"q\"b\\ \u00e9 \xdc80", REG_DWORD, std::vector<uint8_t>{1, 2});
}

// The area as stored: every key (a link marked) and every value's type and bytes.
using Dump = std::map<std::u16string, std::pair<uint32_t, std::vector<uint8_t>>>;

Dump dump()
{
    Dump out;
    std::vector<std::pair<const RegKey *, std::u16string>> todo{{&keyAt(u""), u""}};
    while (!todo.empty()) {
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

class UndoRecordTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setActiveStore(std::make_shared<KeyStore>());
        fillValues(keyAt(u"Tree"));
        fillValues(keyAt(u"Tree\\A\\B"));
        keyAt(u"Tree\\Empty");
        keyAt(u"Vals").setValue(u"single", REG_SZ, utf16(std::u16string(u"text\0", 5)));
        keyAt(u"Dflt").setValue(u"", REG_SZ, utf16(std::u16string(u"was set\0", 8)));
        keyAt(u"Ren").setValue(u"old name", REG_SZ, bytes(std::string("o\0d\0d", 5)));
        fillValues(keyAt(u"Move\\Foo"));
        keyAt(u"Move\\Foo\\Sub").setValue(u"deep", REG_BINARY, std::vector<uint8_t>{1, 2, 3});
        // Longer than one 8-bit call takes: reached one name at a time.
        keyAt(u"Move\\Foo\\Sub\\" + std::u16string(120, u'L') + u"\\" + std::u16string(120, u'M'))
            .setValue(u"far", REG_SZ, utf16(std::u16string(u"down\0", 5)));
        reg.SelectRoot(HKEY_CURRENT_USER);
    }

    // Writes the record, reads it back and applies it.
    std::vector<std::string> undo(const UndoCapture &capture)
    {
        RegEditFile file;
        const auto parsed = RegEditFile::parse(capture.file().write(), file);
        EXPECT_TRUE(parsed.ok) << parsed.line << ": " << parsed.message;
        return ApplyUndo(file, "the undo");
    }

    void open(const std::string &key) { ASSERT_TRUE(reg.OpenPath("\\Software\\Area\\" + key)); }

    TRegistry reg;
};

} // namespace

TEST_F(UndoRecordTest, UndoOfADeleteGivesEverythingBack)
{
    const Dump before = dump();
    UndoCapture capture;
    capture.captureKey(kRoot, "\\Software\\Area\\Tree\\");
    // Keys below one captured are in its record once, not again for each selected row.
    const std::string treeOnly = capture.file().write();
    capture.captureKey(kRoot, "Software\\Area\\Tree\\A");
    capture.captureKey(kRoot, "Software\\Area\\Tree\\A\\B");
    EXPECT_EQ(capture.file().write(), treeOnly);
    capture.captureValue(kRoot, "Software\\Area\\Vals\\", "single");
    capture.captureValue(kRoot, "Software\\Area\\Vals\\", ""); // does not exist
    capture.captureValue(kRoot, "Software\\Area\\Dflt\\", "");
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Area\\Tree"));
    open("Vals");
    ASSERT_TRUE(reg.RemoveValue("single"));
    reg.WriteText("", "");
    open("Dflt");
    reg.WriteText("", "");
    reg.ClosePath();
    ASSERT_NE(dump(), before);
    EXPECT_EQ(undo(capture), std::vector<std::string>{});
    EXPECT_EQ(dump(), before);
}

TEST_F(UndoRecordTest, UndoOfAReplaceGivesBackWhateverPartHappened)
{
    const std::vector<std::function<void()>> steps = {
        [&] {
            open("Vals");
            reg.WriteText("single", "new text");
        },
        [&] {
            open("Ren");
            reg.RenameValueName("old name", "new name");
        },
        [&] { reg.RelocateKey("\\Software\\Area\\Move\\Foo", "\\Software\\Area\\New\\Bar", true); },
    };
    for (std::size_t done = 0; done <= steps.size(); ++done) {
        SetUp();
        const Dump before = dump();
        UndoCapture capture;
        capture.captureValue(kRoot, "Software\\Area\\Vals", "single");
        capture.captureValue(kRoot, "Software\\Area\\Ren", "old name");
        capture.captureNewValueName(kRoot, "Software\\Area\\Ren", "new name");
        capture.captureKey(kRoot, "Software\\Area\\Move\\Foo");
        capture.captureNewKeyPath(kRoot, "Software\\Area\\New\\Bar");
        for (std::size_t i = 0; i < done; ++i) {
            const Dump stepBefore = dump();
            steps[i]();
            ASSERT_NE(dump(), stepBefore) << "step " << i << " changed nothing";
        }
        reg.ClosePath();
        EXPECT_EQ(undo(capture), std::vector<std::string>{}) << done;
        EXPECT_EQ(dump(), before) << done << " steps done";
    }
}

// A tree nested deeper than any call stack is recorded in one walk, in a record
// that grows with what the tree holds, and comes back whole.
TEST_F(UndoRecordTest, UndoOfADeepDeleteGivesItBack)
{
    constexpr int kLevels = 100000;
    const auto levelsBelow = [](const RegKey *key) {
        int levels = 0;
        for (; key->subkeys.size() == 1; key = key->subkeys.front().get())
            ++levels;
        return std::pair{levels, key};
    };
    RegKey *key = &keyAt(u"Deep");
    for (int i = 1; i <= kLevels; ++i) {
        bool created;
        key = &key->addSubkey(u"k", created);
        if (i == kLevels / 2) key->setValue(u"half", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0});
    }
    key->setValue(u"bottom", REG_SZ, utf16(std::u16string(u"reached\0", 8)));
    UndoCapture capture;
    capture.captureKey(kRoot, "Software\\Area\\Deep");
    EXPECT_EQ(capture.file().sections.size(), 2u);
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Area\\Deep"));
    ASSERT_EQ(keyAt(u"").findSubkey(u"Deep"), nullptr);

    EXPECT_EQ(undo(capture), std::vector<std::string>{});
    const auto [levels, bottom] = levelsBelow(&keyAt(u"Deep"));
    EXPECT_EQ(levels, kLevels);
    ASSERT_TRUE(bottom->findValue(u"bottom"));
    EXPECT_EQ(bottom->findValue(u"bottom")->dataCopy(), utf16(std::u16string(u"reached\0", 8)));
}

TEST_F(UndoRecordTest, CaptureRecordsOnlyWhatTheEditCanChange)
{
    UndoCapture capture;
    EXPECT_TRUE(capture.empty());
    // A rename onto an existing name and a move onto an existing key do nothing.
    capture.captureNewValueName(kRoot, "Software\\Area\\Ren", "OLD NAME");
    capture.captureNewKeyPath(kRoot, "Software\\Area\\Move");
    // Nothing below a root can go as a whole; a missing key has nothing to give back.
    capture.captureKey(kRoot, "\\");
    capture.captureKey(kRoot, "Software\\Area\\Missing");
    capture.captureValue(kRoot, "Software\\Area\\Missing", "v");
    capture.captureKey("HKEY_NOWHERE", "Software");
    EXPECT_TRUE(capture.empty());

    // A link is kept as itself; what lies behind it is not its content.
    RegKey &link = keyAt(u"Tree\\Link");
    link.isLink = true;
    const std::u16string target = u"\\REGISTRY\\User\\S-1-5-21-0-0-0-1000\\Software\\Area\\Move";
    link.setValue(u"SymbolicLinkValue", REG_LINK, utf16(target));
    capture.captureKey(kRoot, "Software\\Area\\Tree");
    // A key reached through that link is not in Tree's record: it gets its own.
    keyAt(u"Move\\X").setValue(u"x", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0});
    capture.captureKey(kRoot, "Software\\Area\\Tree\\Link\\X");
    // The same key or value twice is recorded once.
    capture.captureKey(kRoot, "Software\\Area\\Tree\\");
    capture.captureValue(kRoot, "Software\\Area\\Vals", "single");
    capture.captureValue(kRoot, "\\Software\\Area\\Vals\\", "single");
    const RegEditFile file = capture.file();
    std::vector<std::string> paths;
    for (const RegEditSection &s : file.sections)
        paths.push_back(s.path);
    // Tree\\A holds nothing but B: restoring B restores it.
    const std::string area = "HKEY_CURRENT_USER\\Software\\Area\\";
    // The link comes first: the key below it is made through it.
    EXPECT_EQ(paths, (std::vector<std::string>{area + "Tree\\Link", area + "Tree",
                                               area + "Tree\\A\\B", area + "Tree\\Empty",
                                               area + "Tree\\Link\\X", area + "Vals"}));
    EXPECT_TRUE(file.sections[0].link);
    EXPECT_EQ(file.sections[0].values.size(), 1u);
    EXPECT_EQ(file.sections[4].values.size(), 1u);
    EXPECT_EQ(file.sections[5].values.size(), 1u);
}

// A link comes back as a link, with none of its target's keys below it; a key that
// only looks like a link (a "SymbolicLinkValue" and keys of its own) comes back
// whole; a move takes a link along as itself.
TEST_F(UndoRecordTest, UndoGivesLinksBackAsLinksAndLookalikesWhole)
{
    const std::u16string area = u"\\REGISTRY\\User\\S-1-5-21-0-0-0-1000\\Software\\Area\\";
    keyAt(u"Target\\Inside").setValue(u"in", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0});
    RegKey &link = keyAt(u"Tree\\Link");
    link.isLink = true;
    link.setValue(u"SymbolicLinkValue", REG_LINK, utf16(area + u"Target"));
    keyAt(u"Tree\\Nowhere").isLink = true;
    RegKey &lookalike = keyAt(u"Tree\\fakeparent\\fakelink");
    lookalike.setValue(u"SymbolicLinkValue", REG_LINK, utf16(area + u"Target"));
    keyAt(u"Tree\\fakeparent\\fakelink\\child1").setValue(u"c", REG_SZ, utf16(u"1"));
    keyAt(u"Tree\\fakeparent\\fakelink\\child2\\grand");
    const Dump before = dump();
    const auto found = [](std::u16string_view path) {
        const RegKey *key = &keyAt(u"");
        for (std::size_t at = 0; key && at <= path.size();) {
            const std::size_t end = std::min(path.find(u'\\', at), path.size());
            key = key->findSubkey(path.substr(at, end - at));
            at = end + 1;
        }
        return key;
    };

    // A key reached through the link, then the tree that holds the link.
    UndoCapture deleted;
    deleted.captureKey(kRoot, "Software\\Area\\Tree\\Link\\Inside");
    deleted.captureKey(kRoot, "Software\\Area\\Tree");
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Area\\Tree\\Link\\Inside"));
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Area\\Tree"));
    ASSERT_EQ(found(u"Target\\Inside"), nullptr);
    EXPECT_EQ(undo(deleted), std::vector<std::string>{});
    EXPECT_EQ(dump(), before);

    UndoCapture moved;
    moved.captureKey(kRoot, "Software\\Area\\Tree");
    moved.captureNewKeyPath(kRoot, "Software\\Area\\Moved");
    reg.RelocateKey("\\Software\\Area\\Tree", "\\Software\\Area\\Moved", true);
    for (const char16_t *path : {u"Moved\\Link", u"Moved\\Nowhere"}) {
        const RegKey *key = found(path);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->isLink);
        EXPECT_TRUE(key->subkeys.empty());
    }
    EXPECT_EQ(found(u"Moved\\Link")->findValue(u"SymbolicLinkValue")->dataCopy(),
              utf16(area + u"Target"));
    EXPECT_NE(found(u"Moved\\fakeparent\\fakelink\\child2\\grand"), nullptr);
    EXPECT_EQ(undo(moved), std::vector<std::string>{});
    EXPECT_EQ(dump(), before);

    // The link itself renamed.
    UndoCapture renamed;
    renamed.captureKey(kRoot, "Software\\Area\\Tree\\Link");
    renamed.captureNewKeyPath(kRoot, "Software\\Area\\Tree\\Renamed");
    reg.RelocateKey("\\Software\\Area\\Tree\\Link", "\\Software\\Area\\Tree\\Renamed", true);
    ASSERT_NE(found(u"Tree\\Renamed"), nullptr);
    EXPECT_TRUE(found(u"Tree\\Renamed")->isLink);
    EXPECT_EQ(found(u"Tree\\Link"), nullptr);
    EXPECT_EQ(undo(renamed), std::vector<std::string>{});
    EXPECT_EQ(dump(), before);
}

// Xzork moves to X, then Xzorkzork to where Xzork was: the undo takes away what
// the second move made there before Xzork comes back, in any letter case.
TEST_F(UndoRecordTest, UndoOfChainedMovesGivesEachKeyOnlyItsOwn)
{
    for (const char *second : {"Xzork", "XZORK"}) {
        SetUp();
        keyAt(u"rot2\\Xzork").setValue(u"shared", REG_SZ, utf16(u"C"));
        keyAt(u"rot2\\Xzork").setValue(u"only_in_C", REG_SZ, utf16(u"C"));
        keyAt(u"rot2\\Xzorkzork").setValue(u"shared", REG_SZ, utf16(u"D"));
        keyAt(u"rot2\\Xzorkzork").setValue(u"only_in_D", REG_SZ, utf16(u"D"));
        keyAt(u"rot2\\Xzorkzork\\DSub");
        const Dump before = dump();
        const std::string rot2 = "Software\\Area\\rot2\\";
        UndoCapture capture;
        capture.captureKey(kRoot, rot2 + "Xzork");
        capture.captureNewKeyPath(kRoot, rot2 + "X");
        capture.captureKey(kRoot, rot2 + "Xzorkzork");
        capture.captureNewKeyPath(kRoot, rot2 + second);
        reg.RelocateKey("\\" + rot2 + "Xzork", "\\" + rot2 + "X", true);
        reg.RelocateKey("\\" + rot2 + "Xzorkzork", "\\" + rot2 + second, true);
        EXPECT_EQ(undo(capture), std::vector<std::string>{}) << second;
        EXPECT_EQ(dump(), before) << second;
    }
}

// Names with line breaks (Wine keeps them), a path longer than Wine's regedit
// takes, string data of one byte and of odd length: all back, byte for byte.
TEST_F(UndoRecordTest, UndoGivesBackWhatWinesRegeditCannot)
{
    fillValues(keyAt(u"Odd\\new\nline"));
    keyAt(u"Odd\\cr\rkey\\below").setValue(u"v", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0});
    std::u16string far = u"Odd\\Far";
    for (int i = 0; i < 140; ++i)
        far += u"\\" + std::u16string(250, char16_t(u'a' + i % 26));
    fillValues(keyAt(far));
    const Dump before = dump();
    UndoCapture capture;
    capture.captureKey(kRoot, "Software\\Area\\Odd");
    ASSERT_TRUE(reg.DeleteTree("\\Software\\Area\\Odd"));
    EXPECT_EQ(undo(capture), std::vector<std::string>{});
    EXPECT_EQ(dump(), before);
}

TEST_F(UndoRecordTest, ApplyGoesOnPastFailuresAndNamesThem)
{
    // Refuses every change to keys named Locked.
    struct LockedKeys : StoreHooks
    {
        long beforeChange(const RegKey &key) override
        {
            return key.name() == u"Locked" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
        }
    };
    keyAt(u"Locked").setValue(u"present", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0});
    keyAt(u"Locked\\Child");
    activeStore().setHooks(std::make_shared<LockedKeys>());
    const std::string area = "HKEY_CURRENT_USER\\Software\\Area\\";
    RegEditFile file;
    file.sections = {
        {"HKEY_NOWHERE\\Software", false, {{"v", false, REG_DWORD, {1, 0, 0, 0}}}},
        {area + "Locked\\Child", true, {}},
        {area + "Never\\There", true, {}},
        {area + "Locked", false, {{"v", false, REG_DWORD, {1, 0, 0, 0}}, {"present", true, 0, {}}}},
        {area + "After", false, {{"", false, REG_SZ, utf16(std::u16string(u"ok\0", 3))}}},
    };
    EXPECT_EQ(ApplyUndo(file, "the undo"), (std::vector<std::string>{
                                               "not a registry root: HKEY_NOWHERE\\Software",
                                               "not deleted: " + area + "Locked\\Child",
                                               "not restored: " + area + "Locked\\v",
                                               "not deleted: " + area + "Locked\\present",
                                           }));
    EXPECT_EQ(keyAt(u"After").findValue(u"")->dataCopy(), utf16(std::u16string(u"ok\0", 3)));
    EXPECT_EQ(ApplyUndoFile("/nonexistent/undo.reg"),
              std::vector<std::string>{"cannot read /nonexistent/undo.reg"});
    // Neither a FIFO nor a device is read (the alarm ends a hang as a failure).
    char folder[] = "/tmp/quarnel-undo-XXXXXX";
    const std::string fifo = std::string(mkdtemp(folder)) + "/undo.reg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(20);
    EXPECT_EQ(ApplyUndoFile(fifo),
              std::vector<std::string>{fifo + " is not a regular file; nothing was changed"});
    EXPECT_EQ(ApplyUndoFile("/dev/zero"),
              std::vector<std::string>{"/dev/zero is not a regular file; nothing was changed"});
    alarm(0);
    unlink(fifo.c_str());
    rmdir(folder);
}
