#include "BulkEditFixture.h"

#include "ResultModel.h"
#include "TButton.h"
#include "TReportView.h"
#include "app/QuarnelApplication.h"
#include "app/UnitState.h"
#include "platform/KeyStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <algorithm>

namespace {

void ensureApplication()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "bulk_edit_tests";
    static char *argv[] = {name, nullptr};
    new QuarnelApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
}

} // namespace

BulkEditTest::BulkEditTest()
{
    ensureApplication();
    m_store = std::make_shared<quarnel::platform::KeyStore>();
    quarnel::platform::setActiveStore(m_store);
    UnitState::searchText.clear();
    UnitState::replaceText.clear();
    UnitState::sortColumn = 0;
    Dialogs::setAnswerer([this](const Dialogs::TDialogRecord &record) {
        m_boxes.push_back(record);
        std::string answer = record.buttons.empty() ? std::string() : record.buttons.front();
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.pop_front();
        }
        return answer;
    });
    m_form = std::make_unique<TRegForm>();
    m_boxes.clear(); // the backup warning at start
    if (!qobject_cast<ResultModel *>(m_form->FoundLV->model())) {
        m_form->FoundLV->setModel(new ResultModel(&UnitState::sortColumn, m_form.get()));
        m_form->SetUpFoundLVColumns();
    }
}

BulkEditTest::~BulkEditTest()
{
    m_form.reset();
    Dialogs::setAnswerer({});
}

ResultModel &BulkEditTest::model()
{
    return *qobject_cast<ResultModel *>(m_form->FoundLV->model());
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

bool BulkEditTest::hasValue(const std::string &path, const std::string &name)
{
    TRegistry reg;
    return reg.OpenPath('\\' + path) && reg.HasValue(name);
}

std::string BulkEditTest::valueBytes(const std::string &path, const std::string &name,
                                     TValueKind *kind)
{
    TValueKind found = TValueKind::vkUnknown;
    std::string bytes;
    TRegistry reg;
    if (reg.OpenPath('\\' + path) && reg.HasValue(name)) {
        bytes.resize(std::size_t(std::max(0, reg.QueryValueSize(name))));
        bytes.resize(std::size_t(reg.FetchData(name, bytes.data(), int(bytes.size()), found)));
    }
    if (kind)
        *kind = found;
    return bytes;
}

void BulkEditTest::addRow(const ResultRow &row)
{
    model().appendRow(row);
    model().flush();
}

void BulkEditTest::selectAll()
{
    model().selectAll(*m_form->FoundLV->selectionModel());
    m_form->RefreshCounter();
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
    return ResultModel::selectedCount(*m_form->FoundLV->selectionModel());
}

std::vector<std::string> BulkEditTest::boxTexts(Dialogs::TDialogKind kind) const
{
    std::vector<std::string> texts;
    for (const auto &box : m_boxes)
        if (box.kind == kind)
            texts.push_back(box.text);
    return texts;
}

void BulkEditTest::clickDelete()
{
    m_form->RefreshCounter();
    m_form->Button3->setEnabled(true); // until the counter enables it
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
}

void BulkEditTest::clickReplace(const std::string &search, const std::string &replacement)
{
    m_form->Edit1->setText(QString::fromUtf8(search.data(), qsizetype(search.size())));
    m_form->Edit2->setText(QString::fromUtf8(replacement.data(), qsizetype(replacement.size())));
    m_form->RefreshCounter();
    m_form->Button4->setEnabled(true); // until the counter enables it
    QTest::mouseClick(m_form->Button4, Qt::LeftButton);
}

std::string BulkEditTest::lb1Text() const
{
    return m_form->lb1->text().toUtf8().toStdString();
}

std::string BulkEditTest::lb6Text() const
{
    return m_form->lb6->text().toUtf8().toStdString();
}
