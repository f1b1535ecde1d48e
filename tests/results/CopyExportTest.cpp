// Taking hits along in the real window: Copy, Copy key path and Export… of the
// result list, Copy in the value list, the find keys, and the counts and lists
// that come with the delete's and the replace's questions.
#include "tests/search/SearchFixture.h"

#include "registry/api/TRegistry.h"
#include "registry/text/CellText.h"
#include "results/ExportDialog.h"
#include "results/RowExport.h"
#include "widgets/TListView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

using namespace std::string_literals;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class CopyExportTest : public SearchFixture
{
protected:
    void SetUp() override
    {
        SearchFixture::SetUp();
        // Shortcuts reach only the active window.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        setText(HKEY_LOCAL_MACHINE, "Software\\TakeMe\\Sub", "tab\there", "x takeme y");
        setValue(HKEY_LOCAL_MACHINE, "Software\\TakeMe", "n", REG_DWORD, "\x07\0\0\0"s);
    }
    void TearDown() override
    {
        ExportDialog::setChooser({});
        SearchFixture::TearDown();
    }

    static std::string clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }

    // The rows as the model keeps them (the default-value mark included).
    std::vector<ResultRow> modelRows() const
    {
        auto *model = qobject_cast<ResultModel *>(form->FoundLV->model());
        std::vector<ResultRow> out;
        for (int r = 0; r < model->rowCount(); ++r)
            out.push_back(model->rowAt(r));
        return out;
    }

    void selectOnly(int row)
    {
        form->FoundLV->selectionModel()->select(form->FoundLV->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    }

    // Export… with the file and format chosen; "" when nothing was chosen.
    void exportAs(const std::string &path, RowFormat format)
    {
        ExportDialog::setChooser([=](std::string &chosenPath, RowFormat &chosenFormat) {
            chosenPath = path;
            chosenFormat = format;
            return !path.empty();
        });
        WindowHarness::trigger(form->Export1);
    }

    QTemporaryDir folder;
};

} // namespace

TEST_F(CopyExportTest, CopyCopyKeyPathAndExportTakeTheSelectedRows)
{
    // pm1 keeps its items and gains the new ones after them.
    const QList<QAction *> items = form->pm1->actions();
    ASSERT_EQ(items.size(), 10); // the last, Locate, in LocateTest
    EXPECT_EQ(items[4]->objectName(), "Replace1");
    EXPECT_TRUE(items[5]->isSeparator());
    EXPECT_EQ(items[6]->text(), "&Copy");
    EXPECT_EQ(items[7]->text(), "Copy &key path");
    EXPECT_EQ(items[8]->text(), "&Export\u2026");

    search("takeme");
    const std::vector<ResultRow> all = modelRows();
    ASSERT_EQ(all.size(), 3u); // TakeMe, TakeMe\Sub, the data row
    WindowHarness::key(form->FoundLV, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), copiedRows(all));
    EXPECT_NE(clipboard().find("tab\\there\tREG_SZ\tx takeme y\n"), std::string::npos);

    selectOnly(2);
    WindowHarness::key(form->FoundLV, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboard(), keyPathText(all[2]));
    EXPECT_EQ(clipboard(), "HKEY_LOCAL_MACHINE\\Software\\TakeMe\\Sub");
    WindowHarness::trigger(form->Copy1);
    EXPECT_EQ(clipboard(), copiedRows({all[2]}));
    // The search field keeps its own Ctrl+C.
    form->Edit1->selectAll();
    WindowHarness::key(form->Edit1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "takeme");

    // Export… in each format writes exactly the rows' file; a cancelled dialog nothing.
    form->FoundLVSelectAll();
    const std::string base = folder.path().toStdString() + "/hits";
    for (auto [suffix, format] :
         {std::pair{".tsv", RowFormat::Tsv}, std::pair{".csv", RowFormat::Csv},
          std::pair{".reg", RowFormat::Reg}}) {
        exportAs(base + suffix, format);
        EXPECT_EQ(readFile(base + suffix), exportRows(all, format)) << suffix;
    }
    EXPECT_EQ(readFile(base + ".reg").substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(text(form->lb1), "3 items exported");
    exportAs("", RowFormat::Tsv);
    exportAs("/nonexistent-folder/x.tsv", RowFormat::Tsv);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text,
              "not exported: /nonexistent-folder/x.tsv: No such file or directory");
}

TEST_F(CopyExportTest, ValueListCopyAndFindKeys)
{
    // F3 searches again for the text in the field; Ctrl+F and Ctrl+Shift+F reach the fields.
    form->Edit1->setText(QStringLiteral("takeme"));
    WindowHarness::key(form->FoundLV, Qt::Key_F3);
    EXPECT_EQ(modelRows().size(), 3u);
    WindowHarness::key(form->FoundLV, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form->Edit1->hasFocus());
    EXPECT_EQ(form->Edit1->selectedText(), "takeme");
    WindowHarness::key(form->Edit1, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(form->Edit2->hasFocus());

    // The located value, then every value of its key: Name, Type and Value as shown.
    selectOnly(2);
    form->FoundLVDblClick();
    ASSERT_TRUE(form->RegLV->hasFocus());
    WindowHarness::key(form->RegLV, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "tab\\there\tREG_SZ\tx takeme y\n");
    EXPECT_EQ(form->pmValues->actions().back(), form->CopyValues1);
    form->RegLV->selectAll();
    WindowHarness::trigger(form->CopyValues1);
    const std::string copied = clipboard();
    EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), form->RegLV->rowCount());
    EXPECT_NE(copied.find("tab\\there\tREG_SZ\tx takeme y\n"), std::string::npos);
}

TEST_F(CopyExportTest, QuestionsComeWithWhatTheEditDoes)
{
    setText(HKEY_LOCAL_MACHINE, "Software\\TakeMe\\Sub", "takeme too", "1");
    search("takeme");
    form->Edit2->setText(QStringLiteral("kept"));
    harness->answer("Abbrechen");
    form->Button4->click();
    ASSERT_EQ(boxes().size(), 1u);
    // The question's text as it always was; what it does below it and behind "Show Details...".
    EXPECT_EQ(boxes()[0].text.rfind("Replace", 0), 0u);
    EXPECT_EQ(boxes()[0].informative, "3 changes in 3 items."); // key, data, value name
    EXPECT_NE(boxes()[0].details.find("key HKEY_LOCAL_MACHINE\\Software\\TakeMe \xE2\x86\x92 "
                                      "HKEY_LOCAL_MACHINE\\Software\\kept\n"),
              std::string::npos)
        << boxes()[0].details;
    EXPECT_EQ(modelRows().size(), 4u); // nothing done

    harness->clearBoxes();
    harness->answer("Abbrechen");
    form->Button3->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Delete selected Keys?");
    // The subkey and the values that go with the key are counted.
    EXPECT_EQ(boxes()[0].informative, "Removes 1 key with 1 subkey and 3 values in it.");
    EXPECT_EQ(boxes()[0].details,
              "key HKEY_LOCAL_MACHINE\\Software\\TakeMe with 1 subkey and 3 values in it\n");
}

// The real box: the question's buttons stay its own two, and the link below the
// counts opens the whole list.
TEST_F(CopyExportTest, TheQuestionsListOpensFromTheLinkBelowItsCounts)
{
    Dialogs::setAnswerer({});
    QStringList buttons;
    QString informative, listed;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QPushButton *button : box->findChildren<QPushButton *>())
            buttons << button->text();
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
        ASSERT_NE(label, nullptr);
        informative = label->text();
        QTimer::singleShot(0, [&] {
            auto *list = QApplication::activeModalWidget();
            if (auto *text = list ? list->findChild<QPlainTextEdit *>() : nullptr)
                listed = text->toPlainText();
            if (auto *dialog = qobject_cast<QDialog *>(list)) dialog->reject();
        });
        emit label->linkActivated(QStringLiteral("list"));
        for (QPushButton *button : box->findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("Abbrechen")) button->click();
    });
    EXPECT_FALSE(Dialogs::confirmShowing("Delete selected Keys?", "Removes 1 key & 2 values.",
                                         "key HKEY_CURRENT_USER\\A <b>\nvalue x\n"));
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Abbrechen", "OK"}));
    EXPECT_TRUE(informative.startsWith("Removes 1 key &amp; 2 values."))
        << informative.toStdString();
    EXPECT_EQ(listed.toStdString(), "key HKEY_CURRENT_USER\\A <b>\nvalue x\n");
}
