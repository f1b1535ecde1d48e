// The browser's edits on a copy of a Wine-written prefix, read back by Wine
// itself: its regedit exports the key (every type, byte for byte, as hex where
// the bytes need it) and its reg query lists it. A registry that takes no
// changes refuses each edit before anything is asked.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/EditDialogs.h"
#include "tests/wine/WineTestSupport.h"

#include "registry/kinds/SourceKinds.h"
#include "registry/regfile/RegEditFile.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <map>

using namespace quarnel::test;
using namespace std::string_literals;
using quarnel::platform::RegistryOpened;

namespace {

const std::string kKey = "\\Software\\QuarnelEdit";

} // namespace

class EditByWineTest : public BrowserTest
{
protected:
    void TearDown() override
    {
        quarnel::platform::closeRegistry();
        BrowserTest::TearDown();
    }

    static void store(const std::string &path, const std::string &name, const std::string &bytes,
                      DWORD type)
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.CreatePath(path);
        ASSERT_TRUE(reg.OpenPath(path));
        reg.StoreStored(name, std::vector<uint8_t>(bytes.begin(), bytes.end()), type);
    }

    void modify(const std::string &name, std::function<void(QDialog &)> step)
    {
        const std::vector<std::string> list = names();
        const auto at = std::find(list.begin(), list.end(), name);
        ASSERT_NE(at, list.end()) << name;
        form->RegLV->setCurrentRow(int(at - list.begin()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        bool ran = false;
        whenDialogShows(std::move(step), &ran);
        QTest::keyClick(form->RegLV, Qt::Key_Return);
        EXPECT_TRUE(ran) << name;
    }

    void typeName(const std::string &name)
    {
        auto *field = form->findChild<QLineEdit *>("InPlaceName");
        ASSERT_NE(field, nullptr);
        field->setText(QString::fromStdString(name));
        QTest::keyClick(field, Qt::Key_Return);
        WindowHarness::processEvents();
    }

    // The key's values as Wine reads them, by name, two ways: Wine's regedit
    // exports them (it cannot say string data without its NUL, and writes such
    // as if it had one), and Wine saves the hive again after a change of its own
    // ("poke"), which our lossless reader then reads back.
    struct WineView
    {
        std::map<std::string, Stored> exported, resaved;
    };
    static WineView readByWine(const std::string &prefix, const std::string &keyPath)
    {
        WineView view;
        std::string out;
        const std::string file = prefix + "/wine-export.reg";
        const std::string key = "HKEY_CURRENT_USER\\\\" + keyPath;
        EXPECT_EQ(runInPrefix(prefix,
                              "wine reg add \"" + key + "\" /v poke /d 1 /f && wine regedit /e \"" +
                                  file + "\" \"" + key + "\"; rc=$?; wineserver -w; exit $rc",
                              &out),
                  0)
            << out;
        RegEditFile read;
        EXPECT_TRUE(RegEditFile::parse(readFile(file), read).ok) << readFile(file);
        for (const RegEditSection &section : read.sections)
            if (section.path == "HKEY_CURRENT_USER\\" + keyPath)
                for (const RegEditValue &value : section.values)
                    view.exported[value.name] = {value.type,
                                                 std::string(value.data.begin(), value.data.end())};
        EXPECT_EQ(quarnel::platform::openRegistryAt(prefix, false).status,
                  RegistryOpened::Status::Ok);
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        EXPECT_TRUE(reg.OpenPath("\\" + keyPath)) << keyPath;
        std::vector<std::string> names;
        reg.ListValueNames(names);
        for (const std::string &name : names) {
            std::vector<uint8_t> bytes;
            Stored &value = view.resaved[name];
            reg.FetchStored(name, bytes, value.type);
            value.bytes.assign(bytes.begin(), bytes.end());
        }
        reg.ClosePath();
        quarnel::platform::closeRegistry();
        EXPECT_EQ(view.resaved.count("poke"), 1u) << "Wine saved the hive again";
        view.exported.erase("poke");
        view.resaved.erase("poke");
        return view;
    }
};

TEST_F(EditByWineTest, EveryEditorWritesTheBytesWineReadsBack)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    store(kKey, "sz", text16("old"), REG_SZ);
    store(kKey, "expand", text16("%TEMP%"), REG_EXPAND_SZ);
    store(kKey, "multi", text16("a") + text16("b") + "\0\0"s, REG_MULTI_SZ);
    store(kKey, "dword", "\1\0\0\0"s, REG_DWORD);
    store(kKey, "big", "\0\0\0\1"s, REG_DWORD_BIG_ENDIAN);
    store(kKey, "qword", "\1\0\0\0\0\0\0\0"s, REG_QWORD);
    store(kKey, "bin", "\1"s, REG_BINARY);
    store(kKey, "none", ""s, REG_NONE);
    store(kKey, "odd", "AB"s, 0x1234);
    store(kKey, "bare", text16("kept", false), REG_SZ); // no NUL: an unchanged OK keeps it so
    // Longer than a line field takes by itself (32,767 characters).
    const std::string longText(100000, 'w');
    store(kKey, "long", text16("short"), REG_SZ);
    ASSERT_EQ(form->GoToKey("HKCU" + kKey), "");

    modify("sz", editTo("new \xC3\xA4"));
    modify("expand", editTo("%PATH%;x"));
    modify("multi", editTo("one\ntwo three"));
    modify("dword", editTo("3735928559", true)); // 0xdeadbeef
    modify("big", editTo("0a0b0c0d"));
    modify("qword", editTo("123456789abcdef0"));
    modify("bin", editTo("00 ff 41\n42"));
    modify("none", editTo("7f"));
    modify("odd", editTo("43 44 45"));
    modify("bare", editTo(nullptr));
    modify("long", editTo(longText.c_str()));
    EXPECT_EQ(boxes().size(), 0u);
    ASSERT_EQ(quarnel::platform::closeRegistry(), "");

    const std::map<std::string, Stored> expected = {
        {"sz", {REG_SZ, "n\0e\0w\0 \0\xE4\0\0\0"s}},
        {"expand", {REG_EXPAND_SZ, text16("%PATH%;x")}},
        {"multi", {REG_MULTI_SZ, text16("one") + text16("two three") + "\0\0"s}},
        {"dword", {REG_DWORD, "\xef\xbe\xad\xde"s}},
        {"big", {REG_DWORD_BIG_ENDIAN, "\x0a\x0b\x0c\x0d"s}},
        {"qword", {REG_QWORD, "\xf0\xde\xbc\x9a\x78\x56\x34\x12"s}},
        {"bin", {REG_BINARY, "\0\xff\x41\x42"s}},
        {"none", {REG_NONE, "\x7f"s}},
        {"odd", {0x1234, "CDE"s}},
        {"bare", {REG_SZ, text16("kept", false)}},
        {"long", {REG_SZ, text16(longText)}},
    };
    const WineView wine = readByWine(prefix, "Software\\QuarnelEdit");
    EXPECT_EQ(wine.resaved, expected);
    for (const auto &[name, value] : expected) {
        if (name != "bare") {
            EXPECT_EQ(wine.exported.at(name), value) << name;
        }
    }
    std::string out;
    runInPrefix(prefix, "wine reg query \"HKCU\\\\Software\\\\QuarnelEdit\"; wineserver -w", &out);
    EXPECT_NE(out.find("dword    REG_DWORD    0xdeadbeef"), std::string::npos) << out;
    EXPECT_NE(out.find("expand    REG_EXPAND_SZ    %PATH%;x"), std::string::npos) << out;
}

TEST_F(EditByWineTest, ARenamedKeyKeepsEveryValueAndNewOnesAsWineReadsThem)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix(true);
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    const std::map<std::string, Stored> values = {
        {"", {REG_SZ, text16("default")}},   {"empty sz", {REG_SZ, ""}},
        {"empty bin", {REG_BINARY, ""}},     {"empty none", {REG_NONE, ""}},
        {"empty multi", {REG_MULTI_SZ, ""}}, {"one byte", {REG_BINARY, "\x01"s}},
        {"dword", {REG_DWORD, "\1\2\3\4"s}}, {"bare", {REG_SZ, text16("x", false)}},
    };
    for (const auto &[name, value] : values)
        store(kKey + "\\Old", name, value.bytes, value.type);
    store(kKey + "\\Old\\Sub", "s", "\x05"s, REG_BINARY);
    ASSERT_EQ(form->GoToKey("HKCU" + kKey + "\\Old"), "");

    QTest::keyClick(form->RegTV, Qt::Key_F2);
    typeName("Renamed");
    // A new key below, and a new DWORD value in the renamed key, both named in place.
    WindowHarness::trigger(form->pmKeys->findChild<QMenu *>("pmKeysNew")->actions().at(0));
    typeName("Made");
    ASSERT_EQ(form->GoToKey("HKCU" + kKey + "\\Renamed"), "");
    WindowHarness::trigger(form->pmValues->findChild<QMenu *>("pmValuesNew")->actions().at(4));
    typeName("fresh");
    EXPECT_EQ(boxes().size(), 0u);
    ASSERT_EQ(quarnel::platform::closeRegistry(), "");

    std::map<std::string, Stored> expected = values;
    expected["fresh"] = {REG_DWORD, std::string(4, '\0')};
    const WineView wine = readByWine(prefix, "Software\\QuarnelEdit\\Renamed");
    EXPECT_EQ(wine.resaved, expected);
    EXPECT_EQ(wine.exported.at("dword"), expected.at("dword"));
    EXPECT_EQ(wine.exported.at("empty bin"), expected.at("empty bin"));
    EXPECT_EQ(readByWine(prefix, "Software\\QuarnelEdit\\Renamed\\Sub").resaved.at("s"),
              (Stored{REG_BINARY, "\x05"s}));
    std::string out;
    EXPECT_EQ(runInPrefix(prefix,
                          "wine reg query \"HKCU\\\\Software\\\\QuarnelEdit\\\\Renamed\\\\Made\" "
                          "&& ! wine reg query \"HKCU\\\\Software\\\\QuarnelEdit\\\\Old\"; "
                          "rc=$?; wineserver -w; exit $rc",
                          &out),
              0)
        << out;
}

TEST_F(EditByWineTest, AReadOnlyRegistryRefusesEachEditBeforeAnyQuestion)
{
    REQUIRE_PREFIX();
    const std::string prefix = scratchPrefix();
    ASSERT_EQ(quarnel::platform::openRegistryAt(prefix, true).status, RegistryOpened::Status::Ok);
    store(kKey, "v", text16("x"), REG_SZ);
    ASSERT_EQ(quarnel::platform::closeRegistry(), "");
    writeFile(prefix + "/userdef.reg", "not a registry file\n");
    const RegistryOpened opened = quarnel::platform::openRegistryAt(prefix, true);
    ASSERT_EQ(opened.status, RegistryOpened::Status::ReadOnly);
    ASSERT_EQ(form->GoToKey("HKCU" + kKey), "");
    const std::string before = WindowHarness::registryDump();
    EditFiles::setChooser([&](bool, const std::string &) { return prefix + "/user.reg"; });
    form->RegLV->setCurrentRow(1, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    const std::vector<std::pair<const char *, std::function<void()>>> edits = {
        {"modify", [&] { QTest::keyClick(form->RegLV, Qt::Key_Return); }},
        {"rename value", [&] { QTest::keyClick(form->RegLV, Qt::Key_F2); }},
        {"rename key", [&] { QTest::keyClick(form->RegTV, Qt::Key_F2); }},
        {"new key", [&] { form->NewKeyClick(); }},
        {"new value", [&] { form->NewValueClick(REG_SZ); }},
        {"import", [&] { WindowHarness::trigger(form->ImportAction); }},
    };
    for (const auto &[what, edit] : edits) {
        harness->clearBoxes();
        edit();
        ASSERT_EQ(boxes().size(), 1u) << what;
        EXPECT_EQ(boxes()[0].text, opened.message) << what;
        EXPECT_EQ(form->findChild<QLineEdit *>("InPlaceName"), nullptr) << what;
    }
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EditFiles::setChooser({});
}
