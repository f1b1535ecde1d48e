#include "tests/results/BulkEditFixture.h"

#include "registry/win32/KeyStore.h"
#include "tests/harness/DeepKeyPath.h"
#include "widgets/TReportView.h"
#include "widgets/TTreeView.h"

#include <QLineEdit>
#include <QTest>

using Dialogs::TDialogKind;
using Strings = std::vector<std::string>;

namespace {

// Refuses every change to keys of one name, as the registry does without rights.
class RefuseChangesTo : public quarnel::platform::StoreHooks
{
public:
    explicit RefuseChangesTo(std::u16string name) : m_name(std::move(name)) {}
    long beforeChange(const quarnel::platform::RegKey &key) override
    {
        return key.name() == m_name ? ERROR_ACCESS_DENIED : 0;
    }

private:
    std::u16string m_name;
};

} // namespace

class DeleteSelectedTest : public BulkEditTest
{
};

TEST_F(DeleteSelectedTest, EmptyListAsksNothingButRefreshesTheCounter)
{
    form().Delete1->trigger();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(lb6Text(), "0 selected / 0 found");
}

TEST_F(DeleteSelectedTest, NothingSelectedOrCancelChangesNothing)
{
    setText("Software\\Foo", "v", "x");
    addKeyRow("Software\\Foo\\");
    form().lb1->setText("before");

    clickDelete();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, TDialogKind::Information);
    EXPECT_EQ(boxes()[0].caption, "Informationen");
    EXPECT_EQ(boxes()[0].text, "Nothing selected");

    clearBoxes();
    selectAll();
    answer("Abbrechen");
    clickDelete();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, "Best\xC3\xA4tigung");
    EXPECT_EQ(boxes()[0].text, "Delete selected Keys?");
    EXPECT_EQ(boxes()[0].buttons, (Strings{"OK", "Abbrechen"}));
    EXPECT_TRUE(hasValue("Software\\Foo", "v"));
    EXPECT_EQ(rows().size(), 1u);
    EXPECT_EQ(lb1Text(), "before");
}

TEST_F(DeleteSelectedTest, KeyRowFirstTakesTheValueRowsOfItsKeyAlong)
{
    setText("Software\\Foo", "v", "x");
    setText("Software\\Foo", "w", "x");
    makeKey("Software\\Foo", HKEY_LOCAL_MACHINE);
    addKeyRow("Software\\Foo\\");
    addNameRow("Software\\Foo\\", "v");
    addKeyRow("Software\\Foo\\", kHklm);
    // The value row of the same key, before its key row this time.
    setText("Software\\Bar", "b", "x");
    addNameRow("Software\\Bar\\", "b");
    addKeyRow("Software\\Bar\\");
    // Below a path longer than the registry calls take in one piece.
    const std::string deep = DeepKeyPath();
    setText(deep + "\\Gone\\Sub", "v", "x");
    setText(deep, "v", "x");
    setText(deep, "w", "x");
    addKeyRow(deep + "\\Gone\\");
    addNameRow(deep + "\\", "v");
    selectAll();
    const std::string before = registry();

    form().FoundLV->setFocus();
    QTest::keyClick(form().FoundLV, Qt::Key_Delete); // acts when the key comes up

    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey("Software\\Foo"));
    EXPECT_FALSE(hasKey("Software\\Foo", HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(hasKey("Software\\Bar"));
    EXPECT_FALSE(hasKey(deep + "\\Gone"));
    EXPECT_FALSE(hasValue(deep, "v"));
    EXPECT_TRUE(hasValue(deep, "w"));
    // Foo in two roots, then Bar's value and Bar, then the deep ones; Foo's value
    // row is not counted.
    EXPECT_EQ(lb1Text(), "6 items deleted (maybe with subkeys)");
    EXPECT_TRUE(rows().empty());

    // Ctrl+Z gives all of it back, deep keys too; the list stays as it is.
    pressUndo();
    EXPECT_EQ(boxes().back().text, "Undo the last change?\n\r6 items deleted");
    EXPECT_EQ(registry(), before);
    EXPECT_EQ(lb1Text(), "Undone: 6 items deleted");
    EXPECT_TRUE(rows().empty());
}

// What a row stands for may have gone with an earlier row: a key above it, the
// same key under its other root, the other row of the same value. Such rows are
// done, not failed: no box, not counted, and they leave the list.
TEST_F(DeleteSelectedTest, RowsWhoseKeyOrValueAnEarlierRowTookAreDone)
{
    makeKey("Software\\Foo\\Sub\\Deeper");
    setText("Software\\Foo\\Sub", "v", "x");
    setText("Software\\Bar", "v", "x");
    setText("Software\\Bar", "w", "x");
    addKeyRow("Software\\Foo\\");
    addKeyRow("Software\\Foo\\Sub\\");
    addNameRow("Software\\Foo\\Sub\\", "v");
    addKeyRow("Software\\Foo\\Sub\\Deeper\\");
    addNameRow("Software\\Bar\\", "v");
    addDataRow("Software\\Bar\\", "v", "REG_SZ", "x");
    addKeyRow("S-1-5-21-0-0-0-1000\\Software\\Foo\\", "HKEY_USERS");
    selectAll();
    const std::string before = registry();

    clickDelete();

    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_FALSE(hasKey("Software\\Foo"));
    EXPECT_FALSE(hasValue("Software\\Bar", "v"));
    EXPECT_TRUE(hasValue("Software\\Bar", "w"));
    EXPECT_EQ(lb1Text(), "2 items deleted (maybe with subkeys)");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_EQ(registry(), before);
}

// The walker lists every key and value below a hit key; deleting all it found
// ends at once, without a box for any of the rows the first one took along.
TEST_F(DeleteSelectedTest, ThousandsOfRowsBelowTheFirstDeletedKeyShowNoBox)
{
    makeNest(250);
    searchFor("aaa");
    const std::string before = registry();
    ASSERT_EQ(rows().size(), 4u + 8u * 250u);
    clearBoxes();

    clickDelete();

    EXPECT_EQ(boxes().size(), 1u); // the question
    EXPECT_FALSE(hasKey("Software\\HrNest\\aaa"));
    EXPECT_TRUE(hasKey("Software\\HrNest"));
    EXPECT_EQ(lb1Text(), "1 items deleted (maybe with subkeys)");
    EXPECT_TRUE(rows().empty());
    pressUndo();
    EXPECT_TRUE(registry() == before); // too long to print
}

// A value really named "(Standard)" is removed like any other; only the default
// value's own row empties it.
TEST_F(DeleteSelectedTest, DefaultValueIsEmptiedAndAGoneValueFails)
{
    setText("Software\\Foo", "", "data");
    setText("Software\\Foo", "a", "x");
    setText("Software\\Foo", "b", "x");
    setText("Software\\Bar", "", "kept");
    setText("Software\\Bar", "(Standard)", "named");
    addDefaultRow("Software\\Foo\\", "REG_SZ", "data");
    addNameRow("Software\\Foo\\", "a");
    addNameRow("Software\\Foo\\", "gone");
    addNameRow("Software\\Foo\\", "b");
    addDataRow("Software\\Bar\\", "(Standard)", "REG_SZ", "named");
    selectAll();

    clickDelete();

    TValueKind kind{};
    EXPECT_EQ(valueBytes("Software\\Foo", "", &kind), std::string(1, '\0'));
    EXPECT_EQ(kind, TValueKind::vkString);
    EXPECT_FALSE(hasValue("Software\\Foo", "a"));
    EXPECT_FALSE(hasValue("Software\\Foo", "b"));
    EXPECT_FALSE(hasValue("Software\\Bar", "(Standard)"));
    EXPECT_EQ(valueBytes("Software\\Bar", ""), std::string("kept") + '\0');
    EXPECT_EQ(boxTexts(TDialogKind::Error),
              Strings{"not deleted: HKEY_CURRENT_USER\\Software\\Foo\\gone"});
    EXPECT_EQ(lb1Text(), "3 items deleted (maybe with subkeys)");
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "gone");
    EXPECT_EQ(selectedCount(), 0);
}

// Nor a key the registry never deletes: a user's whole registry, say.
TEST_F(DeleteSelectedTest, RootAndHiveRootsAreNeitherDeletedNorEmptied)
{
    setText("Software\\Foo", "v", "x");
    setValue(".Default\\Software\\D", "v", "x", TValueKind::vkString, HKEY_USERS);
    addKeyRow("");
    addKeyRow("S-1-5-21-0-0-0-1000\\", "HKEY_USERS");
    addKeyRow(".Default\\", "HKEY_USERS");
    selectAll();

    clickDelete();

    EXPECT_EQ(boxTexts(TDialogKind::Error),
              (Strings{"not deleted: HKEY_CURRENT_USER\\",
                       "not deleted: HKEY_USERS\\S-1-5-21-0-0-0-1000\\",
                       "not deleted: HKEY_USERS\\.Default\\"}));
    EXPECT_TRUE(hasValue("Software\\Foo", "v"));
    EXPECT_TRUE(hasValue(".Default\\Software\\D", "v", HKEY_USERS));
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(lb1Text(), "0 items deleted (maybe with subkeys)");
}

TEST_F(DeleteSelectedTest, RegistryErrorEndsTheOperationThroughTheErrorDisplay)
{
    setText("Software\\A", "a", "x");
    setText("Software\\Locked", "", "x");
    setText("Software\\Z", "z", "x");
    addNameRow("Software\\A\\", "a");
    addDefaultRow("Software\\Locked\\", "REG_SZ", "x");
    addNameRow("Software\\Z\\", "z");
    selectAll();
    form().lb1->setText("before");
    const std::string before = registry();
    store().setHooks(std::make_shared<RefuseChangesTo>(u"Locked"));

    clickDelete();

    EXPECT_EQ(boxTexts(TDialogKind::ErrorDisplay),
              Strings{Dialogs::errorDisplayText("Fehler beim Setzen der Daten f\xC3\xBCr ''")});
    EXPECT_FALSE(hasValue("Software\\A", "a")); // done before the error, not undone
    EXPECT_TRUE(hasValue("Software\\Z", "z"));
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_EQ(lb1Text(), "before");

    // What the edit did before the error, Ctrl+Z takes back.
    store().setHooks(std::make_shared<quarnel::platform::StoreHooks>());
    pressUndo();
    EXPECT_EQ(boxes().back().text, "Undo the last change?\n\runfinished delete");
    EXPECT_EQ(registry(), before);
}

// Ctrl+Z outside the edit fields takes back the newest edit not yet taken back,
// once it is confirmed; the edit fields keep it for their own text.
TEST_F(DeleteSelectedTest, CtrlZTakesBackTheNewestEditFirst)
{
    setText("Software\\Foo\\Sub", "v", "x");
    setText("Software\\Foo", "", "default");
    setText("Software\\Bar", "w", "x");
    // String data of odd length, which only the stored bytes show whole.
    store()
        .ensurePath(store().users(), u"S-1-5-21-0-0-0-1000\\Software\\Bar")
        .setValue(u"odd", REG_SZ, std::vector<uint8_t>{'a', 0, 'b'});
    const std::string original = registry();
    addKeyRow("Software\\Foo\\");
    addNameRow("Software\\Bar\\", "odd");
    selectAll();
    clickDelete();
    const std::string afterFirst = registry();
    addKeyRow("Software\\Bar\\");
    selectAll();
    clickDelete();
    ASSERT_FALSE(hasKey("Software\\Bar"));
    const std::string afterSecond = registry();
    EXPECT_EQ(undoFiles().size(), 2u);
    clearBoxes();

    for (QLineEdit *edit : {form().Edit1, form().Edit2}) {
        WindowHarness::type(edit, "typed");
        WindowHarness::pressUndo(edit);
        EXPECT_NE(edit->text(), QStringLiteral("typed"));
    }
    EXPECT_TRUE(boxes().empty());
    answer(Dialogs::kCancel);
    pressUndo(form().RegTV);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, "Best\xC3\xA4tigung");
    EXPECT_EQ(boxes()[0].text, "Undo the last change?\n\r1 items deleted");
    EXPECT_EQ(registry(), afterSecond);

    pressUndo();
    EXPECT_EQ(registry(), afterFirst);
    pressUndo();
    EXPECT_EQ(boxes().back().text, "Undo the last change?\n\r2 items deleted");
    EXPECT_EQ(registry(), original);
    EXPECT_EQ(lb1Text(), "Undone: 2 items deleted");
    pressUndo();
    EXPECT_EQ(boxes().back().kind, TDialogKind::Information);
    EXPECT_EQ(boxes().back().text, "Nothing to undo");
    EXPECT_EQ(boxTexts(TDialogKind::Error), Strings{});
    EXPECT_EQ(registry(), original);
}
