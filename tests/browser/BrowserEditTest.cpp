// Editing in the browser through the real window: the editors, new keys and
// values, renames in place, going to a typed key, export and import.
#include "tests/browser/BrowserFixture.h"
#include "tests/browser/EditDialogs.h"

#include "registry/regfile/ImportFile.h"
#include "registry/source/RegistryFiles.h"
#include "registry/undo/ImportEdit.h"
#include "registry/undo/UndoFiles.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QTest>

#include <fstream>
#include <map>
#include <sstream>

namespace {

using Dialogs::TDialogKind;
using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

// The key's subtree in a registry dump, its path cut off each key line: what a
// rename must keep, whatever the new name.
std::string subtree(const std::string &dump, const std::string &keyPath)
{
    std::istringstream lines(dump);
    std::string line, out;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (!line.starts_with("  ")) {
            const std::size_t at = line.find(keyPath);
            inside = at != std::string::npos &&
                     (at + keyPath.size() == line.size() || line[at + keyPath.size()] == '\\');
            if (inside) line = "<key>" + line.substr(at + keyPath.size());
        }
        if (inside) out += line + "\n";
    }
    return out;
}

} // namespace

class BrowserEditTest : public BrowserTest
{
protected:
    // A value's stored bytes as given (string data as UTF-16LE), through the wide calls.
    static void value(const std::string &path, const std::string &name, const std::string &bytes,
                      DWORD type)
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.CreatePath(path);
        ASSERT_TRUE(reg.OpenPath(path));
        reg.StoreStored(name, std::vector<uint8_t>(bytes.begin(), bytes.end()), type);
    }

    static Stored stored(const std::string &path, const std::string &name)
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        Stored value;
        std::vector<uint8_t> bytes;
        if (!reg.OpenPath(path) || !reg.FetchStored(name, bytes, value.type)) return {99, "gone"};
        value.bytes.assign(bytes.begin(), bytes.end());
        return value;
    }

    void selectValue(const std::string &name)
    {
        const std::vector<std::string> list = names();
        const auto at = std::find(list.begin(), list.end(), name);
        ASSERT_NE(at, list.end()) << name;
        form->RegLV->setCurrentRow(int(at - list.begin()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    // The value's editor through the value list's menu, `step` run in it.
    void modify(const std::string &name, std::function<void(QDialog &)> step)
    {
        selectValue(name);
        bool ran = false;
        whenDialogShows(std::move(step), &ran);
        WindowHarness::trigger(form->ModifyValueAction);
        EXPECT_TRUE(ran) << name;
    }

    QLineEdit *inPlace() const { return form->findChild<QLineEdit *>("InPlaceName"); }

    // Types a name into the in-place field and presses Enter.
    void typeName(const std::string &name)
    {
        QLineEdit *field = inPlace();
        ASSERT_NE(field, nullptr);
        field->setText(QString::fromStdString(name));
        QTest::keyClick(field, Qt::Key_Return);
        WindowHarness::processEvents();
    }

    std::vector<std::string> errors() const
    {
        std::vector<std::string> texts;
        for (const auto &box : boxes())
            if (box.kind == TDialogKind::Error) texts.push_back(box.text);
        return texts;
    }

    static std::vector<std::string> undoFiles()
    {
        std::vector<std::string> names;
        const QDir undo(QString::fromStdString(quarnel::platform::safetyFolder() + "/undo"));
        for (const QString &name : undo.entryList(QDir::Files, QDir::Name))
            names.push_back(name.toStdString());
        return names;
    }

    std::string lastUndoQuestion()
    {
        WindowHarness::pressUndo(form->RegTV);
        return boxes().empty() ? "" : boxes().back().text;
    }
};

TEST_F(BrowserEditTest, EachEditorShowsTheDataAndWritesWhatWasTyped)
{
    const std::string k = "\\Software\\Edit";
    value(k, "sz", text16("old"), REG_SZ);
    value(k, "expand", text16("%TEMP%"), REG_EXPAND_SZ);
    value(k, "multi", text16("a") + text16("bc") + std::string(2, '\0'), REG_MULTI_SZ);
    value(k, "dword", std::string("\x78\x56\x34\x12", 4), REG_DWORD);
    value(k, "big", std::string("\x12\x34\x56\x78", 4), REG_DWORD_BIG_ENDIAN);
    value(k, "qword", std::string("\x01\0\0\0\0\0\0\0", 8), REG_QWORD);
    value(k, "bin", std::string("\x01\xff", 2), REG_BINARY);
    value(k, "none", "", REG_NONE);
    value(k, "odd", "AB", 0x1234);
    open({"Software", "Edit"});
    form->RegTV->selectNode(child(child(user(), "Software"), "Edit"));
    const std::vector<Row> listed = rows();

    std::string shown;
    modify("sz", editTo("new \xC3\xA4", false, -1, &shown));
    EXPECT_EQ(shown, "old");
    EXPECT_EQ(stored(k, "sz"), (Stored{REG_SZ, "n\0e\0w\0 \0\xE4\0\0\0"s}));
    modify("expand", editTo(nullptr, false, 0, &shown)); // the type switched, the text kept
    EXPECT_EQ(shown, "%TEMP%");
    EXPECT_EQ(stored(k, "expand"), (Stored{REG_SZ, text16("%TEMP%")}));
    modify("sz", editTo("%PATH%", false, 1));
    EXPECT_EQ(stored(k, "sz"), (Stored{REG_EXPAND_SZ, text16("%PATH%")}));
    modify("multi", [&](QDialog &dialog) { // Tab leaves the lines: it types no tab there
        QTest::keyClick(dialog.findChild<QPlainTextEdit *>("ValueData"), Qt::Key_Tab);
        editTo("x\n\ny z\r\nw", false, -1, &shown)(dialog);
    });
    EXPECT_EQ(shown, "a\nbc");
    EXPECT_EQ(stored(k, "multi"),
              (Stored{REG_MULTI_SZ, text16("x") + text16("y z") + text16("w") + "\0\0"s}));
    modify("dword", editTo("4294967295", true, -1, &shown));
    EXPECT_EQ(shown, "12345678");
    EXPECT_EQ(stored(k, "dword"), (Stored{REG_DWORD, "\xff\xff\xff\xff"s}));
    modify("big", editTo("0x0A0B0C0D", false, -1, &shown));
    EXPECT_EQ(shown, "12345678");
    EXPECT_EQ(stored(k, "big"), (Stored{REG_DWORD_BIG_ENDIAN, "\x0a\x0b\x0c\x0d"s}));
    modify("qword", editTo("18446744073709551614", true));
    EXPECT_EQ(stored(k, "qword"), (Stored{REG_QWORD, "\xfe\xff\xff\xff\xff\xff\xff\xff"s}));
    modify("bin", editTo("00 41 42 0d 0a", false, -1, &shown));
    EXPECT_EQ(shown, "01 ff");
    EXPECT_EQ(stored(k, "bin"), (Stored{REG_BINARY, "\0AB\r\n"s}));
    modify("none", editTo("ff"));
    EXPECT_EQ(stored(k, "none"), (Stored{REG_NONE, "\xff"s}));
    modify("odd", editTo("43", false, -1, &shown)); // the type number is kept
    EXPECT_EQ(shown, "41 42");
    EXPECT_EQ(stored(k, "odd"), (Stored{0x1234, "C"s}));
    EXPECT_EQ(errors(), std::vector<std::string>{});

    // The list shows every type's data: numbers as numbers, the rest as bytes.
    std::map<std::string, std::string> shownNow;
    for (const Row &row : rows())
        shownNow[row.name] = row.type + " " + row.value;
    EXPECT_EQ(shownNow["qword"], "REG_QWORD FFFFFFFFFFFFFFFE");
    EXPECT_EQ(shownNow["big"], "REG_DWORD_BIG_ENDIAN 0A0B0C0D");
    EXPECT_EQ(shownNow["odd"], "REG_UNKNOWN 43 ");
    EXPECT_EQ(rows().size(), listed.size());

    // Each edit is one step of Ctrl+Z, named after its value.
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rvalue odd modified");
    EXPECT_EQ(stored(k, "odd"), (Stored{0x1234, "AB"s}));
}

TEST_F(BrowserEditTest, EnterAndDoubleClickOpenTheEditorAndAnUnchangedOkWritesNothing)
{
    const std::string k = "\\Software\\Edit";
    value(k, "bare", text16("abc", false) + "z", REG_SZ); // no NUL, an odd last byte
    value(k, "n", std::string("\x10\0\0\0", 4), REG_DWORD);
    open({"Software", "Edit"});
    form->RegTV->selectNode(child(child(user(), "Software"), "Edit"));
    const std::string before = WindowHarness::registryDump();

    selectValue("bare");
    std::string shown;
    bool ran = false;
    whenDialogShows(editTo(nullptr, false, -1, &shown), &ran);
    QTest::keyClick(form->RegLV, Qt::Key_Return);
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, "abc");
    // Switching the base and back, or OK at once: the same number.
    ran = false;
    whenDialogShows(editTo(nullptr, true, -1, &shown), &ran);
    selectValue("n");
    WindowHarness::doubleClick(form->RegLV,
                               form->RegLV->visualRect(form->RegLV->currentIndex()).center());
    EXPECT_TRUE(ran);
    EXPECT_EQ(shown, "10");
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EXPECT_EQ(undoFiles(), std::vector<std::string>{});
    EXPECT_EQ(boxes().size(), 0u);

    // A number that does not read keeps the editor open and says why; Abbrechen leaves all.
    modify("n", [](QDialog &dialog) {
        EXPECT_EQ(dialog.focusWidget()->objectName().toStdString(), "ValueData");
        setEditorText(dialog, "12g");
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();
    });
    // The base switch shows the number typed in the other base, or nothing when
    // the text is none: its digits are never read in a base they were not typed in.
    modify("n", [](QDialog &dialog) {
        setEditorText(dialog, "100000000");
        dialog.findChild<QRadioButton *>("BaseDecimal")->setChecked(true);
        EXPECT_EQ(editorText(dialog), "4294967296");
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        dialog.findChild<QRadioButton *>("BaseHex")->setChecked(true);
        setEditorText(dialog, "-1");
        dialog.accept();
        dialog.reject();
    });
    EXPECT_EQ(errors(), (std::vector<std::string>{"\"12g\" is not a hexadecimal number.",
                                                  "The number is larger than 4294967295 "
                                                  "(decimal), the largest this type holds.",
                                                  "\"-1\" is not a hexadecimal number."}));
    EXPECT_EQ(WindowHarness::registryDump(), before);
}

// The editor shows a text whole and writes what it shows: a text longer than a
// line field takes by itself (32,767 characters), pasted or stored, and one the
// field cannot show (a lone surrogate) left as it was.
TEST_F(BrowserEditTest, TextsAreShownAndWrittenWhole)
{
    const std::string k = "\\Software\\Edit";
    value(k, "long", text16(std::string(40000, 'a')), REG_SZ);
    value(k, "lone", "\x00\xD8"s + text16("b"), REG_SZ);
    open({"Software", "Edit"});
    form->RegTV->selectNode(child(child(user(), "Software"), "Edit"));
    const std::string before = WindowHarness::registryDump();
    std::string shown;
    modify("long", editTo(nullptr, false, -1, &shown));
    EXPECT_EQ(shown, std::string(40000, 'a'));
    modify("lone", editTo(nullptr));
    EXPECT_EQ(WindowHarness::registryDump(), before);

    const std::string pasted(1000000, 'p');
    modify("long", [&](QDialog &dialog) {
        auto *line = dialog.findChild<QLineEdit *>("ValueData");
        QApplication::clipboard()->setText(QString::fromStdString(pasted));
        line->selectAll();
        line->paste();
        dialog.accept();
    });
    EXPECT_TRUE(stored(k, "long") == (Stored{REG_SZ, text16(pasted)})); // no output of 2 MB
    EXPECT_EQ(errors(), std::vector<std::string>{});
}

TEST_F(BrowserEditTest, NewKeysAndValuesGetUniqueNamesAndAreRenamedInPlace)
{
    key("\\Software\\Edit\\New Key #1");
    open({"Software"});
    TTreeNode *edit = child(child(user(), "Software"), "Edit");
    form->RegTV->selectNode(edit);

    // The key is made once it has its name, and takes its place in the tree.
    WindowHarness::trigger(form->pmKeys->findChild<QMenu *>("pmKeysNew")->actions().at(0));
    ASSERT_NE(inPlace(), nullptr);
    EXPECT_EQ(inPlace()->text(), "New Key #2");
    EXPECT_EQ(texts(edit), (std::vector<std::string>{"New Key #1", "New Key #2"}));
    const std::string before = WindowHarness::registryDump();
    typeName("Mine");
    EXPECT_FALSE(hasKey("\\Software\\Edit\\New Key #2"));
    EXPECT_TRUE(hasKey("\\Software\\Edit\\Mine"));
    EXPECT_EQ(texts(edit), (std::vector<std::string>{"Mine", "New Key #1"}));
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Edit\\Mine");
    EXPECT_EQ(lb1(), "key Mine created");

    // A new value of each type below the new key, the first one renamed, the rest as made.
    QMenu *newMenu = form->pmValues->findChild<QMenu *>("pmValuesNew");
    const QList<QAction *> items = newMenu->actions();
    ASSERT_EQ(items.size(), 8); // Key, -, six types
    WindowHarness::trigger(items.at(2));
    ASSERT_NE(inPlace(), nullptr);
    typeName("Text");
    for (int i = 3; i < 8; ++i) {
        WindowHarness::trigger(items.at(i));
        ASSERT_NE(inPlace(), nullptr);
        QTest::keyClick(inPlace(), Qt::Key_Escape); // keeps the name made
        WindowHarness::processEvents();
    }
    const std::string k = "\\Software\\Edit\\Mine";
    EXPECT_EQ(stored(k, "Text"), (Stored{REG_SZ, "\0\0"s}));
    EXPECT_EQ(stored(k, "New Value #1"), (Stored{REG_BINARY, ""}));
    EXPECT_EQ(stored(k, "New Value #2"), (Stored{REG_DWORD, "\0\0\0\0"s}));
    EXPECT_EQ(stored(k, "New Value #3"), (Stored{REG_QWORD, std::string(8, '\0')}));
    EXPECT_EQ(stored(k, "New Value #4"), (Stored{REG_MULTI_SZ, "\0\0"s}));
    EXPECT_EQ(stored(k, "New Value #5"), (Stored{REG_EXPAND_SZ, "\0\0"s}));
    EXPECT_EQ(errors(), std::vector<std::string>{});
    // A name there already (in any letter case) is refused: the value keeps the name made.
    WindowHarness::trigger(items.at(2));
    typeName("TEXT");
    EXPECT_EQ(errors(), std::vector<std::string>{"The new value is called New Value #6: a value "
                                                 "named TEXT is there already."});
    EXPECT_EQ(stored(k, "New Value #6"), (Stored{REG_SZ, "\0\0"s}));
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rvalue New Value #6 created");

    // Ctrl+Z takes each back in one step, newest first, by its name; the views follow.
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rvalue New Value #5 created");
    EXPECT_EQ(stored(k, "New Value #5"), (Stored{99, "gone"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "New Value #1", "New Value #2",
                                                 "New Value #3", "New Value #4", "Text"}));
    for (int i = 4; i >= 1; --i)
        lastUndoQuestion();
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rvalue Text created");
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)"}));
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rkey Mine created");
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EXPECT_EQ(texts(edit), (std::vector<std::string>{"New Key #1"}));
    EXPECT_EQ(lastUndoQuestion(), "Nothing to undo");
}

TEST_F(BrowserEditTest, AKeyRenameKeepsEveryValueAndAnExistingNameIsRefused)
{
    const std::string k = "\\Software\\Edit\\Old";
    value(k, "", text16("default"), REG_SZ);
    value(k, "empty sz", "", REG_SZ);
    value(k, "empty bin", "", REG_BINARY);
    value(k, "none", "", REG_NONE);
    value(k, "odd", "\x01", REG_SZ);
    value(k + "\\Sub\\Deeper", "q", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8), REG_QWORD);
    value("\\Software\\Edit\\Taken", "a", text16("1"), REG_SZ);
    value("\\Software\\Edit\\Taken", "b", "", REG_BINARY);
    open({"Software", "Edit"});
    TTreeNode *edit = child(child(user(), "Software"), "Edit");
    form->RegTV->selectNode(child(edit, "Old"));
    const std::string before = WindowHarness::registryDump();
    const std::string oldTree = subtree(before, "\\Software\\Edit\\Old");
    ASSERT_NE(oldTree.find("empty bin"), std::string::npos);

    // A name that is there already (in any letter case) is refused, and nothing changes.
    QTest::keyClick(form->RegTV, Qt::Key_F2);
    typeName("TAKEN");
    QTest::keyClick(form->RegTV, Qt::Key_F2);
    typeName("OLD");
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"Cannot rename HKEY_CURRENT_USER\\Software\\Edit\\Old: the "
                                        "key HKEY_CURRENT_USER\\Software\\Edit\\TAKEN already "
                                        "exists.",
                                        "Cannot rename HKEY_CURRENT_USER\\Software\\Edit\\Old: a "
                                        "name that differs only in letter case names the same "
                                        "key."}));
    EXPECT_EQ(WindowHarness::registryDump(), before);

    QTest::keyClick(form->RegTV, Qt::Key_F2);
    typeName("New");
    const std::string after = WindowHarness::registryDump();
    EXPECT_EQ(subtree(after, "\\Software\\Edit\\New"), oldTree);
    EXPECT_EQ(subtree(after, "\\Software\\Edit\\Old"), "");
    EXPECT_EQ(texts(edit), (std::vector<std::string>{"New", "Taken"})); // in the registry's order
    EXPECT_EQ(form->RegTV->selectedNode(), child(edit, "New"));
    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rkey Old renamed to New");
    EXPECT_EQ(WindowHarness::registryDump(), before);

    // A value: F2 in the list; a name there already is refused too.
    form->RegTV->selectNode(child(edit, "Taken"));
    harness->clearBoxes();
    selectValue("b");
    QTest::keyClick(form->RegLV, Qt::Key_F2);
    typeName("A");
    EXPECT_EQ(errors(), std::vector<std::string>{"Cannot rename b: a value named A already "
                                                 "exists."});
    selectValue("b");
    QTest::keyClick(form->RegLV, Qt::Key_F2);
    typeName("c");
    EXPECT_EQ(stored("\\Software\\Edit\\Taken", "c"), (Stored{REG_BINARY, ""}));
    EXPECT_EQ(stored("\\Software\\Edit\\Taken", "b"), (Stored{99, "gone"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "a", "c"}));
}

TEST_F(BrowserEditTest, GoToKeyUnfoldsTheTreeOrNamesTheMissingPart)
{
    key("\\Software\\Wine\\Drivers");
    value("\\Software\\Wine", "v", text16("1"), REG_SZ);
    EXPECT_EQ(form->GoToKey("My Computer\\hkcu\\software\\Wine\\"), "");
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Wine");
    EXPECT_EQ(names(), (std::vector<std::string>{"(Standard)", "v"}));
    EXPECT_EQ(form->GoToKey("HKEY_CURRENT_USER\\Software\\Nope\\Deeper"),
              "HKEY_CURRENT_USER\\Software has no key Nope.");
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(form->GoToKey("Software\\Wine"), "\"Software\" is not a registry root.");
    EXPECT_EQ(form->GoToKey(" \t"), "Please enter the path of a key.");
    EXPECT_EQ(form->GoToKey("  HKCU\\Software\\Wine\n"), ""); // as pasted
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Wine");

    // Ctrl+L anywhere in the window opens the field; a missing part keeps it open.
    harness->form().activateWindow();
    bool ran = false;
    whenDialogShows(
        [&](QDialog &dialog) {
            auto *field = dialog.findChild<QLineEdit *>("GoToKeyPath");
            field->setText("Computer\\HKEY_CURRENT_USER\\Software\\Wine\\Gone");
            QTest::keyClick(field, Qt::Key_Return);
            EXPECT_TRUE(dialog.isVisible());
            field->setText("HKCU\\Software\\Wine\\Drivers");
            QTest::keyClick(field, Qt::Key_Return);
            EXPECT_FALSE(dialog.isVisible());
        },
        &ran);
    WindowHarness::trigger(form->GoToKeyAction);
    EXPECT_TRUE(ran);
    EXPECT_EQ(errors(),
              std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Wine has no key Gone."});
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software\\Wine\\Drivers");
    EXPECT_EQ(form->GoToKeyAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(form->pmKeys->actions().contains(form->GoToKeyAction), true);
}

TEST_F(BrowserEditTest, ImportRefusesAFaultyFileWholeAndExportWritesTheKeyTree)
{
    QTemporaryDir dir;
    const std::string faulty = dir.filePath("faulty.reg").toStdString();
    const std::string tweak = dir.filePath("tweak.reg").toStdString();
    std::ofstream(faulty) << "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Tweak]\n"
                             "\"ok\"=\"1\"\n"
                             "\"bad\"=dword:xyz\n"
                             "[NOROOT\\Software]\n";
    std::ofstream(tweak) << "Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tweak\\Deep]\n"
                            "\"ok\"=\"1\"\n"
                            "\"n\"=dword:0000002a\n";
    std::string chosen;
    EditFiles::setChooser([&](bool, const std::string &) { return chosen; });
    key("\\Software\\Other");
    const std::string before = WindowHarness::registryDump();

    chosen = faulty;
    WindowHarness::trigger(form->ImportAction);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].kind, TDialogKind::Error);
    EXPECT_EQ(boxes()[0].text.substr(0, 39), "faulty.reg has 2 faults; nothing was ch");
    EXPECT_NE(boxes()[0].text.find("line 5: "), std::string::npos) << boxes()[0].text;
    EXPECT_NE(boxes()[0].text.find("line 6: \"NOROOT\" is not a registry root"), std::string::npos);
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EXPECT_EQ(undoFiles(), std::vector<std::string>{});

    harness->clearBoxes();
    chosen = tweak;
    TTreeNode *software = open({"Software"});
    WindowHarness::trigger(form->ImportAction);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Import 1 key and 2 values from tweak.reg?");
    EXPECT_EQ(stored("\\Software\\Tweak\\Deep", "n"), (Stored{REG_DWORD, "\x2a\0\0\0"s}));
    // The new key shows below the loaded node, ready to open.
    EXPECT_EQ(texts(software), (std::vector<std::string>{"Other", "Tweak"}));
    EXPECT_TRUE(TTreeView::hasChildren(child(software, "Tweak")));

    // Export: the key with all below it, as the command line writes it.
    EXPECT_EQ(form->GoToKey("HKCU\\Software\\Tweak"), "");
    chosen = dir.filePath("out.reg").toStdString();
    WindowHarness::trigger(form->ExportKeyAction);
    std::ifstream in(chosen, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), quarnel::exportKey("HKEY_CURRENT_USER", "Software\\Tweak"));
    RegEditFile exported;
    ASSERT_TRUE(RegEditFile::parse(written.str(), exported).ok);
    ASSERT_FALSE(exported.sections.empty());
    EXPECT_EQ(exported.sections.back().path, "HKEY_CURRENT_USER\\Software\\Tweak\\Deep");

    EXPECT_EQ(lastUndoQuestion(), "Undo the last change?\n\rimport of tweak.reg");
    EXPECT_EQ(WindowHarness::registryDump(), before);
    EditFiles::setChooser({});
}

// After an import, Ctrl+Z, a redo and the History window's undo, the tree and the
// value list show the registry as it now is, and the status line says what was done.
TEST_F(BrowserEditTest, EachChangeFromOutsideTheViewsShowsTheRegistryAsItNowIs)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("tweak.reg").toStdString();
    std::ofstream(file) << "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Edit\\Sub]\n"
                           "[HKEY_CURRENT_USER\\Software\\Aaa]\n"
                           "[-HKEY_CURRENT_USER\\Software\\Gone]\n"
                           "[HKEY_CURRENT_USER\\Software\\Edit]\n"
                           "\"v\"=\"new\"\n";
    EditFiles::setChooser([&](bool, const std::string &) { return file; });
    value("\\Software\\Edit", "v", text16("old"), REG_SZ);
    key("\\Software\\Gone\\Below");
    key("\\Software\\Later");
    open({"Software", "Gone"});
    TTreeNode *software = child(user(), "Software");
    form->RegTV->selectNode(child(software, "Edit"));
    const auto shown = [&] {
        std::string tree;
        for (const std::string &name : texts(software))
            tree += name + (TTreeView::hasChildren(child(software, name.c_str())) ? "+ " : " ");
        return tree + "| " + rows().at(1).value + " | " + lb1();
    };
    EXPECT_EQ(shown(), "Edit Gone+ Later | old | ");

    WindowHarness::trigger(form->ImportAction);
    EXPECT_EQ(shown(), "Aaa Edit+ Later | new | Imported tweak.reg");
    // The node selected stays selected and the tree as it was unfolded, the rows moved.
    EXPECT_EQ(form->RegTV->selectedNode(), child(software, "Edit"));
    EXPECT_TRUE(form->RegTV->isNodeExpanded(software));
    WindowHarness::pressUndo(form->RegTV);
    EXPECT_EQ(shown(), "Edit Gone+ Later | old | Undone: import of tweak.reg");
    form->RedoLastUndo();
    EXPECT_EQ(shown(), "Aaa Edit+ Later | new | Redone: import of tweak.reg");
    form->UndoFromHistory(UndoFiles::undoable(quarnel::platform::safetyFolder()).at(0).path);
    EXPECT_EQ(shown(), "Edit Gone+ Later | old | Undone: redo of import of tweak.reg");
    // A key shown that goes takes the selection up to its parent.
    form->RegTV->selectNode(child(software, "Gone"));
    form->RedoLastUndo();
    EXPECT_EQ(lb2(), "My Computer\\HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(texts(software), (std::vector<std::string>{"Aaa", "Edit", "Later"}));
    EXPECT_EQ(lb1(), "Redone: import of tweak.reg");
    EXPECT_EQ(errors(), std::vector<std::string>{});
    EditFiles::setChooser({});
}
