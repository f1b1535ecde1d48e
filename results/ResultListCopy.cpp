// Taking the result list's rows along: Copy, Copy key path, Export…, Locate's item
// and key, and the keys that bring the search fields and a new run within reach.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "registry/api/TRegistry.h"
#include "results/ExportDialog.h"
#include "results/ResultModel.h"
#include "results/RowExport.h"
#include "results/SelectedRows.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

QAction *listAction(QMenu *menu, QWidget *list, const char *name, const QString &text,
                    const QKeySequence &keys = {})
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        // Only while the list has the focus: the edit fields keep their own Ctrl+C.
        action->setShortcutContext(Qt::WidgetShortcut);
        list->addAction(action);
    }
    return action;
}

void windowShortcut(QWidget *window, const char *name, const QKeySequence &keys,
                    const std::function<void()> &handler)
{
    auto *shortcut = new QShortcut(keys, window);
    shortcut->setObjectName(QLatin1String(name));
    QObject::connect(shortcut, &QShortcut::activated, window, handler);
}

} // namespace

void TRegForm::CreateCopyActions()
{
    N2 = pm1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Copy1 = listAction(pm1, FoundLV, "Copy1", QStringLiteral("&Copy"), QKeySequence::Copy);
    CopyKeyPath1 = listAction(pm1, FoundLV, "CopyKeyPath1", QStringLiteral("Copy &key path"),
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    Export1 = listAction(pm1, FoundLV, "Export1", QStringLiteral("&Export\u2026"));
    // Enter stays the window's: it runs the search again, as it always did.
    Locate1 = listAction(pm1, FoundLV, "Locate1", QStringLiteral("&Locate"),
                         QKeySequence(Qt::CTRL | Qt::Key_Return));
    Locate1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(Copy1, &QAction::triggered, this, &TRegForm::Copy1Click);
    connect(CopyKeyPath1, &QAction::triggered, this, &TRegForm::CopyKeyPath1Click);
    connect(Export1, &QAction::triggered, this, &TRegForm::Export1Click);
    connect(Locate1, &QAction::triggered, this, &TRegForm::Locate1Click);

    windowShortcut(this, "SearchAgainShortcut", QKeySequence(Qt::Key_F3),
                   [this] { SearchAgain(); });
    windowShortcut(this, "FocusSearchShortcut", QKeySequence(Qt::CTRL | Qt::Key_F),
                   [this] { FocusSearchText(); });
    windowShortcut(this, "FocusReplaceShortcut", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
                   [this] { FocusReplaceText(); });
}

void TRegForm::Copy1Click()
{
    const SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (rows.noneSelected()) return;
    QGuiApplication::clipboard()->setText(toQt(copiedRows(rows.all())));
}

void TRegForm::CopyKeyPath1Click()
{
    const SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (rows.noneSelected()) return;
    std::string text;
    for (const ResultRow &row : rows.all())
        text += keyPathText(row) + '\n';
    // One path on its own pastes as just that path.
    if (rows.size() == 1) text.pop_back();
    QGuiApplication::clipboard()->setText(toQt(text));
}

void TRegForm::Export1Click()
{
    const SelectedRows rows(*m_foundModel, *FoundLV->selectionModel());
    if (!haveRowsToEdit(*this, rows)) return;
    std::string path;
    RowFormat format = RowFormat::Reg;
    if (!ExportDialog::choose(this, path, format)) return;
    std::string text;
    try {
        text = exportRows(rows.all(), format);
    } catch (const ERegistryException &e) {
        Dialogs::error("not exported: " + std::string(e.what()));
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(text.data(), std::streamsize(text.size()));
    if (file) file.close();
    if (!file) {
        Dialogs::error("not exported: " + path + ": " + std::strerror(errno));
        return;
    }
    lb1->setText(QString::number(rows.size()) + QStringLiteral(" items exported"));
}

void TRegForm::SearchAgain()
{
    // While a run goes on Button1 stops it: F3 is no stop key.
    if (Button1->isCancel() || !Button1->isEnabled()) return;
    Button1->click();
}

void TRegForm::FocusSearchText()
{
    Edit1->setFocus(Qt::ShortcutFocusReason);
    Edit1->selectAll();
}

void TRegForm::FocusReplaceText()
{
    Edit2->setFocus(Qt::ShortcutFocusReason);
}
