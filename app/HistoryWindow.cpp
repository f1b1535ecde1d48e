#include "app/HistoryWindow.h"

#include "registry/undo/UndoFiles.h"
#include "widgets/FocusedEnter.h"
#include "widgets/QtText.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

#ifndef _WIN32
#include "registry/source/RegistryFiles.h"
#endif

namespace {

constexpr int kPathRole = Qt::UserRole;

QString timeText(std::time_t when)
{
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(when))
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QTreeWidget *list(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *view = new QTreeWidget(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setHeaderLabels(headers);
    view->setRootIsDecorated(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->header()->setStretchLastSection(true);
    return view;
}

QPushButton *button(QWidget *parent, const QString &text, const char *name)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

std::string selectedPath(const QTreeWidget *view)
{
    const QList<QTreeWidgetItem *> items = view->selectedItems();
    return items.isEmpty() ? std::string()
                           : items.front()->data(0, kPathRole).toString().toStdString();
}

void select(QTreeWidget *view, const std::string &path)
{
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = view->topLevelItem(i);
        if (item->data(0, kPathRole).toString().toStdString() == path) {
            view->setCurrentItem(item);
            return;
        }
    }
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent, Handler onUndo, Handler onRestore)
    : QDialog(parent), m_onUndo(std::move(onUndo)), m_onRestore(std::move(onRestore))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History"));
    resize(640, 480);
    auto *layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Changes, newest first:"), this));
    m_changes = list(this, "HistoryChanges",
                     {QStringLiteral("Time"), QStringLiteral("Change"), QStringLiteral("State")});
    layout->addWidget(m_changes, 3);
    auto *changeRow = new QHBoxLayout;
    m_undo = button(this, QStringLiteral("&Undo"), "HistoryUndo");
    m_undo->setToolTip(QStringLiteral("Takes back this change and every newer one"));
    changeRow->addWidget(m_undo);
    changeRow->addStretch();
    layout->addLayout(changeRow);

    layout->addWidget(new QLabel(QStringLiteral("Backups, newest first:"), this));
    m_backups = list(this, "HistoryBackups", {QStringLiteral("Time"), QStringLiteral("Size")});
    layout->addWidget(m_backups, 2);
    auto *backupRow = new QHBoxLayout;
    m_restore = button(this, QStringLiteral("&Restore\u2026"), "HistoryRestore");
    backupRow->addWidget(m_restore);
    backupRow->addStretch();
    auto *close = button(this, QStringLiteral("&Close"), "HistoryClose");
    backupRow->addWidget(close);
    layout->addLayout(backupRow);
    m_folder = new QLabel(this);
    m_folder->setObjectName(QStringLiteral("HistoryFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_folder);

    connect(m_undo, &QPushButton::clicked, this, [this] {
        if (const std::string path = selectedPath(m_changes); !path.empty()) m_onUndo(path);
    });
    connect(m_restore, &QPushButton::clicked, this, [this] {
        if (const std::string folder = selectedPath(m_backups); !folder.empty())
            m_onRestore(folder);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_changes, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::updateButtons);
    connect(m_backups, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::updateButtons);
    // No button is the default: Enter in a list must not take anything back.
    FocusedEnter::install(this);
    refresh();
}

void HistoryWindow::refresh()
{
    const std::string change = selectedPath(m_changes);
    const std::string backup = selectedPath(m_backups);
    m_changes->clear();
    m_backups->clear();
#ifndef _WIN32
    const std::string folder = quarnel::platform::safetyFolder();
#else
    const std::string folder;
#endif
    m_folder->setText(folder.empty() ? QStringLiteral("No folder keeps undo files or backups.")
                                     : QStringLiteral("Kept in ") + toQt(folder));
    if (!folder.empty())
        for (const UndoFiles::Entry &entry : UndoFiles::all(folder)) {
            auto *item = new QTreeWidgetItem(m_changes);
            item->setText(0, timeText(entry.time));
            item->setText(1, entry.description.empty() ? QStringLiteral("(not described)")
                                                       : toQt(entry.description));
            item->setText(2, entry.takenBack ? QStringLiteral("taken back") : QString());
            item->setData(0, kPathRole, toQt(entry.path));
            item->setToolTip(1, toQt(entry.path));
        }
#ifndef _WIN32
    for (const quarnel::platform::BackupListed &listed : quarnel::platform::listBackups()) {
        auto *item = new QTreeWidgetItem(m_backups);
        item->setText(0, timeText(listed.made));
        item->setText(1, QLocale().formattedDataSize(static_cast<qint64>(listed.bytes)));
        item->setData(0, kPathRole, toQt(listed.folder));
        item->setToolTip(0, toQt(listed.folder));
    }
#endif
    for (QTreeWidget *view : {m_changes, m_backups})
        for (int column = 0; column + 1 < view->columnCount(); ++column)
            view->resizeColumnToContents(column);
    select(m_changes, change);
    select(m_backups, backup);
    updateButtons();
}

void HistoryWindow::changeEvent(QEvent *event)
{
    // Edits in the main window or the command line change what is listed.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) refresh();
    QDialog::changeEvent(event);
}

void HistoryWindow::updateButtons()
{
    const QList<QTreeWidgetItem *> changes = m_changes->selectedItems();
    m_undo->setEnabled(!changes.isEmpty() && changes.front()->text(2).isEmpty());
    m_restore->setEnabled(!m_backups->selectedItems().isEmpty());
}
