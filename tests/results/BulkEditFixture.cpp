#include "tests/results/BulkEditFixture.h"

#include "registry/source/RegistryFiles.h"
#include "results/ResultModel.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"

#include <QDir>
#include <QLineEdit>

#include <algorithm>

BulkEditTest::BulkEditTest()
{
    clearBoxes(); // the backup warning at start
}

ResultModel &BulkEditTest::model()
{
    return *qobject_cast<ResultModel *>(form().FoundLV->model());
}

void BulkEditTest::makeKey(const std::string &path, HKEY root)
{
    TRegistry reg;
    reg.SelectRoot(root);
    reg.CreatePath('\\' + path);
}

void BulkEditTest::setValue(const std::string &path, const std::string &name,
                            const std::string &bytes, TValueKind kind, HKEY root)
{
    makeKey(path, root);
    TRegistry reg;
    reg.SelectRoot(root);
    ASSERT_TRUE(reg.OpenPath('\\' + path));
    reg.StoreData(name, bytes.data(), int(bytes.size()), kind);
}

bool BulkEditTest::hasKey(const std::string &path, HKEY root)
{
    TRegistry reg;
    reg.SelectRoot(root);
    return reg.HasKey('\\' + path);
}

bool BulkEditTest::hasValue(const std::string &path, const std::string &name, HKEY root)
{
    TRegistry reg;
    reg.SelectRoot(root);
    return reg.OpenPath('\\' + path) && reg.HasValue(name);
}

std::string BulkEditTest::valueBytes(const std::string &path, const std::string &name,
                                     TValueKind *kind, HKEY root)
{
    TValueKind found = TValueKind::vkUnknown;
    std::string bytes;
    TRegistry reg;
    reg.SelectRoot(root);
    if (reg.OpenPath('\\' + path) && reg.HasValue(name)) {
        bytes.resize(std::size_t(std::max(0, reg.QueryValueSize(name))));
        bytes.resize(std::size_t(reg.FetchData(name, bytes.data(), int(bytes.size()), found)));
    }
    if (kind) *kind = found;
    return bytes;
}

void BulkEditTest::addRow(const ResultRow &row)
{
    model().appendRow(row);
    model().flush();
}

void BulkEditTest::selectAll()
{
    form().FoundLVSelectAll();
    form().RefreshCounter();
}

void BulkEditTest::searchFor(const std::string &text)
{
    form().Edit1->setText(QString::fromUtf8(text.c_str()));
    m_harness.click(form().Button1);
}

void BulkEditTest::makeNest(int perKey)
{
    for (const char *key : {"aaa", "aaa\\aaa1", "aaa\\aaa1\\aaa2", "aaa\\b"})
        for (int i = 0; i < perKey; ++i)
            setText(std::string("Software\\HrNest\\") + key, "aaav" + std::to_string(i),
                    "aaa " + std::to_string(i));
}

std::vector<ResultRow> BulkEditTest::rows()
{
    std::vector<ResultRow> all;
    for (int r = 0; r < model().rowCount(); ++r)
        all.push_back(model().rowAt(r));
    return all;
}

int BulkEditTest::selectedCount()
{
    return ResultModel::selectedCount(*form().FoundLV->selectionModel());
}

std::vector<std::string> BulkEditTest::boxTexts(Dialogs::TDialogKind kind) const
{
    std::vector<std::string> texts;
    for (const auto &box : boxes())
        if (box.kind == kind) texts.push_back(box.text);
    return texts;
}

void BulkEditTest::typeInto(QLineEdit *edit, const std::string &text)
{
    edit->clear();
    m_harness.type(edit, text);
}

void BulkEditTest::clickDelete()
{
    form().RefreshCounter();
    m_harness.click(form().Button3);
}

void BulkEditTest::clickReplace(const std::string &search, const std::string &replacement)
{
    typeInto(form().Edit1, search);
    typeInto(form().Edit2, replacement);
    form().RefreshCounter();
    m_harness.click(form().Button4);
}

void BulkEditTest::pressUndo(QWidget *where)
{
    WindowHarness::pressUndo(where ? where : form().FoundLV);
}

std::vector<std::string> BulkEditTest::undoFiles()
{
    std::vector<std::string> names;
    const QDir undo(QString::fromStdString(quarnel::platform::safetyFolder() + "/undo"));
    for (const QString &name : undo.entryList(QDir::Files, QDir::Name))
        names.push_back(name.toStdString());
    return names;
}
