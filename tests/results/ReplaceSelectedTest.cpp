#include "tests/results/BulkEditFixture.h"

#include "app/UnitState.h"
#include "registry/win32/KeyStore.h"
#include "tests/harness/DeepKeyPath.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <tuple>

using Dialogs::TDialogKind;
using Strings = std::vector<std::string>;
using namespace std::string_literals;

namespace {

class RefuseAllChanges : public quarnel::platform::StoreHooks
{
public:
    long beforeChange(const quarnel::platform::RegKey &) override { return ERROR_ACCESS_DENIED; }
};

} // namespace

class ReplaceSelectedTest : public BulkEditTest
{
};

TEST_F(ReplaceSelectedTest, EmptyListAsksNothingAndNoSelectionTellsSo)
{
    form().Replace1->trigger();
    EXPECT_TRUE(boxes().empty());

    addKeyRow("Software\\Foo\\");
    clickReplace("foo", "bar");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Nothing selected");
    EXPECT_EQ(boxes()[0].caption, "Informationen");
}

TEST_F(ReplaceSelectedTest, CancelInTheQuestionChangesNothing)
{
    setText("Software\\Foo", "v", "foo");
    addDataRow("Software\\Foo\\", "v", "REG_SZ", "foo");
    selectAll();
    UnitState::searchText = "earlier";
    answer("Abbrechen");

    clickReplace("FOO", "Bar");

    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, TDialogKind::Confirmation);
    EXPECT_EQ(boxes()[0].text,
              "Replace \n\r\"FOO\" with \n\r\"Bar\" in selected Keys/Names/Values?");
    EXPECT_EQ(boxes()[0].buttons, (Strings{"OK", "Abbrechen"}));
    EXPECT_EQ(UnitState::searchText, "earlier");
    EXPECT_EQ(valueBytes("Software\\Foo", "v"), "foo\0"s);
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(ReplaceSelectedTest, EmptyReplacementIsAskedAboutTwice)
{
    setText("Software\\K", "v", "a foo b");
    addDataRow("Software\\K\\", "v", "REG_SZ", "a foo b");
    selectAll();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    answer("OK");
    answer("Abbrechen");

    clickReplace("Foo", "");

    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[1].text, "Replace with EMPTY String?");
    EXPECT_EQ(QApplication::focusWidget(), form().Edit2);
    EXPECT_EQ(UnitState::searchText, "foo");
    EXPECT_EQ(valueBytes("Software\\K", "v"), "a foo b\0"s);
    EXPECT_EQ(rows().size(), 1u);

    clearBoxes();
    clickReplace("Foo", "");
    EXPECT_EQ(valueBytes("Software\\K", "v"), "a  b\0"s);
    EXPECT_EQ(lb1Text(), "1 items replaced");
}

TEST_F(ReplaceSelectedTest, StringDataKeepsItsTypeAndEverythingAfterAnInnerNul)
{
    setText("Software\\K", "sz", "Foo Bar foo");
    setValue("Software\\K", "exp", "%PATH%\\foo\0"s, TValueKind::vkExpandString);
    setValue("Software\\K", "nul", "foo\0tail foo\0"s, TValueKind::vkString);
    setText("Software\\K", "", "xfoo");
    // Stored string data of odd length keeps its last byte.
    auto &k = store().ensurePath(store().users(), u"S-1-5-21-0-0-0-1000\\Software\\K");
    k.setValue(u"odd", REG_SZ, std::vector<uint8_t>{'f', 0, 'o', 0, 'o', 0, 'Z'});
    k.setValue(u"oddMulti", REG_MULTI_SZ,
               std::vector<uint8_t>{'f', 0, 'o', 0, 'o', 0, 0, 0, 0, 0, 'Z'});
    addDataRow("Software\\K\\", "odd", "REG_SZ", "foo");
    addDataRow("Software\\K\\", "oddMulti", "REG_MULTI_SZ", "foo");
    addDataRow("Software\\K\\", "sz", "REG_SZ", "Foo Bar foo");
    addDataRow("Software\\K\\", "exp", "REG_EXPAND_SZ", "%PATH%\\foo");
    addDataRow("Software\\K\\", "nul", "REG_SZ", "foo");
    addDefaultRow("Software\\K\\", "REG_SZ", "xfoo");
    selectAll();
    const std::string before = registry();

    clickReplace("FOO", "x");

    TValueKind kind{};
    EXPECT_EQ(valueBytes("Software\\K", "sz", &kind), "x Bar foo\0"s);
    EXPECT_EQ(kind, TValueKind::vkString);
    EXPECT_EQ(valueBytes("Software\\K", "exp", &kind), "%PATH%\\x\0"s);
    EXPECT_EQ(kind, TValueKind::vkExpandString);
    EXPECT_EQ(valueBytes("Software\\K", "nul"), "x\0tail foo\0"s);
    EXPECT_EQ(valueBytes("Software\\K", ""), "xx\0"s);
    const auto stored = [](const std::string &name) {
        TRegistry reg;
        std::vector<uint8_t> bytes;
        DWORD type = REG_NONE;
        if (reg.OpenPath("\\Software\\K")) reg.FetchStored(name, bytes, type);
        return std::make_pair(bytes, type);
    };
    EXPECT_EQ(stored("odd"), std::make_pair(std::vector<uint8_t>{'x', 0, 'Z'}, DWORD(REG_SZ)));
    EXPECT_EQ(stored("oddMulti"),
              std::make_pair(std::vector<uint8_t>{'x', 0, 0, 0, 0, 0, 'Z'}, DWORD(REG_MULTI_SZ)));
    EXPECT_EQ(lb1Text(), "6 items replaced");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_EQ(boxes().back().text, "Undo the last change?\n\r6 items replaced");
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(lb1Text(), "Undone: 6 items replaced");

    // "(Standard)" holds the search text "and" but names no value.
    setText("Software\\K", "", "and");
    addDefaultRow("Software\\K\\", "REG_SZ", "and");
    selectAll();
    clickReplace("and", "or");
    EXPECT_EQ(valueBytes("Software\\K", ""), "or\0"s);
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(lb1Text(), "1 items replaced");
}

// A value really named "(Standard)" is not the default value: its own data is
// rewritten, and its name is replaced in like any other.
TEST_F(ReplaceSelectedTest, ValueNamedStandardIsNotTheDefaultValue)
{
    setText("Software\\K", "", "foo default");
    setText("Software\\K", "(Standard)", "foo named");
    addDataRow("Software\\K\\", "(Standard)", "REG_SZ", "foo named");
    selectAll();
    clickReplace("foo", "bar");
    EXPECT_EQ(valueBytes("Software\\K", "(Standard)"), "bar named\0"s);
    EXPECT_EQ(valueBytes("Software\\K", ""), "foo default\0"s);

    addDefaultRow("Software\\K\\", "REG_SZ", "foo default");
    addDataRow("Software\\K\\", "(Standard)", "REG_SZ", "bar named");
    selectAll();
    const std::string before = registry();
    clickReplace("standard", "Norm");
    EXPECT_FALSE(hasValue("Software\\K", "(Standard)"));
    EXPECT_EQ(valueBytes("Software\\K", "(Norm)"), "bar named\0"s);
    EXPECT_EQ(valueBytes("Software\\K", ""), "foo default\0"s);
    EXPECT_EQ(lb1Text(), "1 items replaced");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_EQ(registry(), before);
}

TEST_F(ReplaceSelectedTest, MultiStringEntriesAreRewrittenWithoutLoss)
{
    setValue("Software\\M", "plain", "afoo\0b\0foofoo\0\0"s, TValueKind::vkMultiString);
    setValue("Software\\M", "lines", "a\r\nfoo\0foo\rfoo\0\0"s, TValueKind::vkMultiString);
    setValue("Software\\M", "hidden", "foo\0\0after foo\0\0"s, TValueKind::vkMultiString);
    setValue("Software\\M", "stale", "nothing\0\0"s, TValueKind::vkMultiString);
    addDataRow("Software\\M\\", "plain", "REG_MULTI_SZ", "afoo b foofoo ");
    addDataRow("Software\\M\\", "lines", "REG_MULTI_SZ", "a  foo foo foo ");
    addDataRow("Software\\M\\", "hidden", "REG_MULTI_SZ", "foo ");
    addDataRow("Software\\M\\", "stale", "REG_MULTI_SZ", "foo ");
    selectAll();

    clickReplace("foo", "x");

    TValueKind kind{};
    EXPECT_EQ(valueBytes("Software\\M", "plain", &kind), "ax\0b\0xfoo\0\0"s);
    EXPECT_EQ(kind, TValueKind::vkMultiString);
    EXPECT_EQ(valueBytes("Software\\M", "lines"), "a\r\nx\0x\rfoo\0\0"s);
    EXPECT_EQ(valueBytes("Software\\M", "hidden"), "x\0\0after foo\0\0"s);
    EXPECT_EQ(valueBytes("Software\\M", "stale"), "nothing\0\0"s);
    EXPECT_EQ(lb1Text(), "3 items replaced");
}

TEST_F(ReplaceSelectedTest, NameRowAndDataRowOfOneValueRenameItOnce)
{
    setText("Software\\K", "fooName", "foo");
    // Values without data are renamed like any other, keeping their types.
    setValue("Software\\K", "fooEmpty", "", TValueKind::vkString);
    setValue("Software\\K", "fooNone", "", TValueKind::vkUnknown);
    addNameRow("Software\\K\\", "fooName");
    addDataRow("Software\\K\\", "fooName", "REG_SZ", "foo");
    addNameRow("Software\\K\\", "fooEmpty");
    addNameRow("Software\\K\\", "fooNone");
    selectAll();

    clickReplace("foo", "bar");

    EXPECT_FALSE(hasValue("Software\\K", "fooName"));
    EXPECT_EQ(valueBytes("Software\\K", "barName"), "bar\0"s);
    for (const auto &[name, kind] :
         {std::pair{"Empty", TValueKind::vkString}, std::pair{"None", TValueKind::vkUnknown}}) {
        TValueKind found{};
        EXPECT_FALSE(hasValue("Software\\K", "foo"s + name));
        EXPECT_TRUE(hasValue("Software\\K", "bar"s + name)) << name;
        EXPECT_EQ(valueBytes("Software\\K", "bar"s + name, &found), "");
        EXPECT_EQ(found, kind);
    }
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(lb1Text(), "4 items replaced"); // the data and three renames
    EXPECT_TRUE(rows().empty());
}

TEST_F(ReplaceSelectedTest, RenameOntoAnExistingNameIsNotReplaced)
{
    setText("Software\\K", "fooName", "1");
    setText("Software\\K", "barName", "2");
    setText("Software\\K", "fooOther", "3");
    addNameRow("Software\\K\\", "fooName");
    addNameRow("Software\\K\\", "fooOther");
    selectAll();

    clickReplace("foo", "bar");

    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"not replaced: HKEY_CURRENT_USER\\Software\\K\\fooName: a value named "
                      "barName already exists"});
    EXPECT_EQ(valueBytes("Software\\K", "fooName"), "1\0"s);
    EXPECT_EQ(valueBytes("Software\\K", "barName"), "2\0"s);
    EXPECT_EQ(valueBytes("Software\\K", "barOther"), "3\0"s);
    EXPECT_EQ(lb1Text(), "1 items replaced");
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "fooName");
    EXPECT_EQ(selectedCount(), 0);
}

TEST_F(ReplaceSelectedTest, KeyIsMovedWithEverythingBelowIt)
{
    setText("Software\\Foo", "v", "1");
    setText("Software\\Foo\\Sub", "w", "2");
    setText("Software\\Foo", "fooVal", "3");
    // Values without data go along too, with their types; no default value appears.
    setValue("Software\\Foo", "none", "", TValueKind::vkUnknown);
    setValue("Software\\Foo", "bin", "", TValueKind::vkBinary);
    setValue("Software\\Foo\\Sub", "", "", TValueKind::vkString);
    makeKey("Software\\Foo\\NoDefault");
    makeKey("Software\\Foo", HKEY_LOCAL_MACHINE);
    addKeyRow("Software\\Foo\\");
    addNameRow("Software\\Foo\\", "fooVal"); // renamed in pass 2, then skipped in pass 3
    addKeyRow("Software\\Foo\\", kHklm);
    addKeyRow(""); // the root key itself: nothing happens, the row leaves
    selectAll();
    const std::string before = registry();

    clickReplace("foo", "Bar");

    EXPECT_FALSE(hasKey("Software\\Foo"));
    EXPECT_EQ(valueBytes("Software\\Bar", "v"), "1\0"s);
    EXPECT_EQ(valueBytes("Software\\Bar\\Sub", "w"), "2\0"s);
    EXPECT_EQ(valueBytes("Software\\Bar", "BarVal"), "3\0"s);
    using Moved = std::tuple<std::string, std::string, TValueKind>;
    for (const auto &[path, name, kind] :
         std::vector<Moved>{{"Software\\Bar", "none", TValueKind::vkUnknown},
                            {"Software\\Bar", "bin", TValueKind::vkBinary},
                            {"Software\\Bar\\Sub", "", TValueKind::vkString}}) {
        TValueKind found{};
        EXPECT_TRUE(hasValue(path, name)) << path << '|' << name;
        EXPECT_EQ(valueBytes(path, name, &found), "");
        EXPECT_EQ(found, kind);
    }
    EXPECT_TRUE(hasKey("Software\\Bar\\NoDefault"));
    EXPECT_FALSE(hasValue("Software\\Bar\\NoDefault", ""));
    EXPECT_TRUE(hasKey("Software\\Bar", HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(hasKey("Software\\Foo", HKEY_LOCAL_MACHINE));
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(lb1Text(), "3 items replaced");
    EXPECT_TRUE(rows().empty());
    // The moves and the rename, taken back in one.
    pressUndo();
    EXPECT_EQ(registry(), before);
}

TEST_F(ReplaceSelectedTest, RowsBelowPathsLongerThanTheCallsTakeAreReplaced)
{
    const std::string deep = DeepKeyPath();
    setText(deep + "\\FooKey", "fooName", "a foo");
    setText(deep + "\\FooKey\\Sub", "v", "1");
    addDataRow(deep + "\\FooKey\\", "fooName", "REG_SZ", "a foo");
    addNameRow(deep + "\\FooKey\\", "fooName");
    addKeyRow(deep + "\\FooKey\\");
    selectAll();
    const std::string before = registry();

    clickReplace("foo", "bar");

    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey(deep + "\\FooKey"));
    EXPECT_EQ(valueBytes(deep + "\\barKey", "barName"), "a bar\0"s);
    EXPECT_EQ(valueBytes(deep + "\\barKey\\Sub", "v"), "1\0"s);
    EXPECT_EQ(lb1Text(), "3 items replaced");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_EQ(registry(), before);
}

TEST_F(ReplaceSelectedTest, MovesThatCannotHappenAreNotReplaced)
{
    setText("Software\\Foo", "v", "1");
    setText("Software\\Bar", "v", "2");
    setText("Software\\Up", "v", "3");
    addKeyRow("Software\\Foo\\");
    addNameRow("Software\\Foo\\", "v"); // another row of the same key: refused too
    selectAll();

    clickReplace("foo", "Bar");

    // Refused before anything changed, as the question listed them: one box, with why.
    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"2 items were refused:\n\r"
                      "not replaced: HKEY_CURRENT_USER\\Software\\Foo\\: the key "
                      "HKEY_CURRENT_USER\\Software\\Bar already exists\n\r"
                      "not replaced: HKEY_CURRENT_USER\\Software\\Foo\\v: the key "
                      "HKEY_CURRENT_USER\\Software\\Bar already exists"});
    EXPECT_EQ(valueBytes("Software\\Foo", "v"), "1\0"s);
    EXPECT_EQ(valueBytes("Software\\Bar", "v"), "2\0"s);
    EXPECT_EQ(lb1Text(), "0 items replaced");
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(selectedCount(), 0);

    // A replacement holding "\" that would put the key below itself.
    clearBoxes();
    model().clear();
    addKeyRow("Software\\Up\\");
    selectAll();
    clickReplace("up", "Up\\Down");
    EXPECT_EQ(boxTexts(TDialogKind::Error).back(),
              "not replaced: HKEY_CURRENT_USER\\Software\\Up\\: "
              "HKEY_CURRENT_USER\\Software\\Up\\Down would lie inside the key itself");
    EXPECT_EQ(valueBytes("Software\\Up", "v"), "3\0"s);
    EXPECT_FALSE(hasKey("Software\\Up\\Down"));
    // Nor one whose own name would vanish, which would name its parent key.
    clearBoxes();
    selectAll();
    clickReplace("up", "");
    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"not replaced: HKEY_CURRENT_USER\\Software\\Up\\: nothing would be left "
                      "of the key's name"});
    EXPECT_EQ(valueBytes("Software\\Up", "v"), "3\0"s);
    EXPECT_FALSE(hasValue("Software", "v"));

    // A key the registry never deletes, a user's whole registry, could only be copied.
    clearBoxes();
    model().clear();
    setValue(".Default\\Software", "v", "4\0"s, TValueKind::vkString, HKEY_USERS);
    addKeyRow(".Default\\", "HKEY_USERS");
    selectAll();
    clickReplace("default", "Other");
    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"not replaced: HKEY_USERS\\.Default\\: the registry never deletes "
                      "HKEY_USERS\\.Default, so it cannot move"});
    EXPECT_EQ(valueBytes(".Default\\Software", "v", nullptr, HKEY_USERS), "4\0"s);
    EXPECT_FALSE(hasKey(".Other", HKEY_USERS));
}

// A key missing before the replace is told once. A key below one renamed by an
// earlier row is renamed where that took it; the same key under its other root,
// gone with the first rename, is done.
TEST_F(ReplaceSelectedTest, KeysThatDoNotOpenAreToldOnceAndStay)
{
    makeKey("Software\\Foo\\Foo2");
    addKeyRow("Software\\Foo\\");
    addKeyRow("Software\\Foo\\Foo2\\");
    addKeyRow("Software\\Gone\\");
    addKeyRow("S-1-5-21-0-0-0-1000\\Software\\Foo\\", "HKEY_USERS");
    selectAll();

    clickReplace("foo", "x");

    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"not opened: HKEY_CURRENT_USER\\Software\\Gone\\"});
    EXPECT_TRUE(hasKey("Software\\x\\x2"));
    EXPECT_FALSE(hasKey("Software\\Foo"));
    EXPECT_EQ(lb1Text(), "2 items replaced");
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].branch, "Software\\Gone\\");
    EXPECT_EQ(selectedCount(), 0);
}

// Everything a search for "aaa" lists in the nest: the keys below aaa are renamed
// wherever aaa went, and the values in all of them get their data and names
// replaced, without a box; Ctrl+Z gives back all of it.
TEST_F(ReplaceSelectedTest, ThousandsOfRowsBelowARenamedKeyAreAllReplaced)
{
    makeNest(250);
    searchFor("aaa");
    const std::string before = registry();
    ASSERT_EQ(rows().size(), 4u + 8u * 250u);
    clearBoxes();

    clickReplace("aaa", "Z");

    EXPECT_EQ(boxes().size(), 1u); // the question
    EXPECT_FALSE(hasKey("Software\\HrNest\\aaa"));
    for (const char *key : {"Z", "Z\\Z1", "Z\\Z1\\Z2", "Z\\b"}) {
        const std::string path = "Software\\HrNest\\"s + key;
        EXPECT_EQ(valueBytes(path, "Zv0"), "Z 0\0"s) << key;
        EXPECT_EQ(valueBytes(path, "Zv249"), "Z 249\0"s) << key;
        EXPECT_FALSE(hasValue(path, "aaav0")) << key;
    }
    EXPECT_EQ(lb1Text(), std::to_string(8 * 250 + 3) + " items replaced");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_TRUE(registry() == before); // too long to print
}

TEST_F(ReplaceSelectedTest, RegistryErrorEndsTheOperationThroughTheErrorDisplay)
{
    setText("Software\\Foo", "v", "foo");
    addDataRow("Software\\Foo\\", "v", "REG_SZ", "foo");
    selectAll();
    form().lb1->setText("before");
    store().setHooks(std::make_shared<RefuseAllChanges>());

    clickReplace("foo", "x");

    EXPECT_EQ(boxTexts(TDialogKind::ErrorDisplay),
              Strings{Dialogs::errorDisplayText("Fehler beim Setzen der Daten f\xC3\xBCr 'v'")});
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(lb1Text(), "before");
}
