// The History window's handlers, redo and the bounds of the undo folder: every
// edit of every run taken back through TakeBack (registry/undo/TakeBack.h), as Ctrl+Z
// and `quarnel undo` do it; a backup restored and the registry opened again.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/HistoryWindow.h"
#include "app/RegistrySession.h"
#include "registry/undo/TakeBack.h"
#include "registry/undo/UndoFiles.h"
#include "widgets/QtText.h"
#include "widgets/TButton.h"
#include "widgets/TTreeNode.h"
#include "widgets/TTreeView.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QShortcut>

#include <algorithm>
#include <string>
#include <vector>

#ifndef _WIN32
#include "prefixes/Settings.h"
#include "registry/source/RegistryFiles.h"
#endif

namespace {

std::string safetyFolder()
{
#ifndef _WIN32
    return quarnel::platform::safetyFolder();
#else
    return {};
#endif
}

std::string whenText(std::time_t when)
{
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(when))
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

std::string shown(const UndoFiles::Entry &entry)
{
    return whenText(entry.time) + "  " +
           (entry.description.empty() ? entry.path : entry.description);
}

// The box for an undo that could not be taken back whole: which items failed.
std::string failedText(const UndoFiles::Entry &entry, const TakeBack::Outcome &outcome)
{
    if (!outcome.refused.empty()) return outcome.refused;
    return EditSafety::failedText(Dialogs::listText(
        "\"" + (entry.description.empty() ? entry.path : entry.description) +
            "\" cannot be taken back whole, so nothing of it was undone; these items failed:",
        outcome.failures));
}

} // namespace

void TRegForm::CreateHistoryActions()
{
    HistoryAction = RegistryMenu->addAction(QStringLiteral("&History\u2026"));
    HistoryAction->setObjectName(QStringLiteral("HistoryAction"));
    HistoryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    addAction(HistoryAction);
    connect(HistoryAction, &QAction::triggered, this, &TRegForm::ShowHistory);
    // As Ctrl+Z: the edit fields take these for their own text first.
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        auto *redo = new QShortcut(keys, this);
        redo->setObjectName(keys[0].key() == Qt::Key_Y ? QStringLiteral("RedoShortcutY")
                                                       : QStringLiteral("RedoShortcut"));
        connect(redo, &QShortcut::activated, this, &TRegForm::RedoLastUndo);
    }
}

void TRegForm::PruneHistory()
{
#ifndef _WIN32
    using quarnel::prefixes::Settings;
    const Settings settings = Settings::load(Settings::defaultPath());
    UndoFiles::Limits limits;
    if (const auto days = settings.number("history", "undoDays"); days && *days > 0)
        limits.maxAgeSeconds = *days * 24 * 60 * 60;
    if (const auto mb = settings.number("history", "undoMegabytes"); mb && *mb > 0)
        limits.maxBytes = static_cast<std::uintmax_t>(*mb) * 1024 * 1024;
    if (const auto kept = settings.number("history", "backupsKept"); kept && *kept > 0)
        quarnel::platform::setBackupsKept(static_cast<std::size_t>(*kept));
    if (const std::string folder = safetyFolder(); !folder.empty())
        UndoFiles::prune(folder, limits, std::time(nullptr), m_startedAt);
#endif
}

void TRegForm::ShowHistory()
{
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(
            this, [this](const std::string &path) { UndoFromHistory(path); },
            [this](const std::string &folder) { RestoreBackup(folder); });
        m_historyWindow->setWindowModality(Qt::NonModal);
    }
    PruneHistory();
    m_historyWindow->refresh();
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void TRegForm::UndoFromHistory(const std::string &path)
{
    const std::string folder = safetyFolder();
    if (folder.empty()) return;
    // The chosen edit and every newer one not yet taken back, newest first; the
    // records of undos newer than it wait for a redo, as after Ctrl+Z.
    std::vector<UndoFiles::Entry> chain;
    bool found = false;
    for (UndoFiles::Entry &entry : UndoFiles::all(folder)) {
        if (entry.path == path) {
            found = !entry.takenBack;
            chain.push_back(std::move(entry));
            break;
        }
        if (!entry.takenBack && entry.kind != UndoFiles::Kind::Undo)
            chain.push_back(std::move(entry));
    }
    if (!found) {
        Dialogs::information("This change has been taken back already.");
        if (m_historyWindow) m_historyWindow->refresh();
        return;
    }
    if (EditSafety::refusesChanges()) return;
    std::vector<std::string> listed;
    for (const UndoFiles::Entry &entry : chain)
        listed.push_back(shown(entry));
    if (!Dialogs::confirm(Dialogs::listText(
            chain.size() == 1 ? "Undo this change?" : "Undo these changes, newest first?", listed)))
        return;

    std::size_t done = 0;
    for (const UndoFiles::Entry &entry : chain) {
        // The question ran the message loop: another face may have taken it back.
        const auto now = UndoFiles::entryOf(entry.path);
        if (!now || now->takenBack) continue;
        const TakeBack::Outcome outcome = TakeBack::takeBack(*now);
        if (!outcome.done()) {
            Dialogs::error(failedText(*now, outcome));
            lb1->setText(QStringLiteral("Not undone: ") +
                         toQt(now->description.empty() ? now->path : now->description));
            break;
        }
        ++done;
        m_undoHistory.remove(entry.path);
        // A redo is an edit Ctrl+Z takes back; an undo's record waits for Ctrl+Y.
        if (!outcome.record.empty() && UndoFiles::recordKind(*now) == UndoFiles::Kind::Redo)
            m_undoHistory.add(outcome.record, outcome.description);
    }
    if (done > 0)
        ShowRegistryChanged(done == 1 ? "Undone: " + chain.front().description
                                      : "Undone: " + std::to_string(done) + " changes");
    if (m_historyWindow) m_historyWindow->refresh();
}

void TRegForm::RedoLastUndo()
{
    const std::string folder = safetyFolder();
    const std::optional<UndoFiles::Entry> undo =
        folder.empty() ? std::nullopt : UndoFiles::redoable(folder);
    if (!undo) {
        Dialogs::information("Nothing to redo");
        return;
    }
    const std::string description = UndoFiles::recordDescription(*undo);
    const std::string what = description.substr(std::string_view("redo of ").size());
    if (EditSafety::refusesChanges()) return;
    if (!Dialogs::confirm("Redo the last undone change?\n\r" + what)) return;
    const auto now = UndoFiles::entryOf(undo->path);
    if (!now || now->takenBack) return;
    const TakeBack::Outcome outcome = TakeBack::takeBack(*now);
    if (!outcome.done()) {
        Dialogs::error(failedText(*now, outcome));
        lb1->setText(QStringLiteral("Not redone: ") + toQt(what));
        return;
    }
    if (!outcome.record.empty()) m_undoHistory.add(outcome.record, outcome.description);
    ShowRegistryChanged("Redone: " + what);
    if (m_historyWindow) m_historyWindow->refresh();
}

void TRegForm::RestoreBackup(const std::string &folder)
{
#ifndef _WIN32
    if (SearchRunning() || Button1->isCancel()) {
        Dialogs::information("A search is running; stop it before restoring a backup.");
        return;
    }
    if (EditSafety::refusesChanges()) return;
    std::string when = folder;
    for (const auto &listed : quarnel::platform::listBackups())
        if (listed.folder == folder) when = whenText(listed.made);
    if (!Dialogs::confirm("Restore the backup of " + when +
                          "?\n\rQuarnel first saves the registry and backs it up as it is now, "
                          "then puts the backup's system.reg, user.reg and userdef.reg in place "
                          "of the registry's and opens it again. Every change made since that "
                          "backup is then gone from the registry (the new backup keeps it)."))
        return;
    std::string made;
    const std::string failed = quarnel::platform::restoreBackup(folder, made);
    if (!failed.empty()) Dialogs::error(failed);
    // Files that were replaced, wholly or not, are what the registry now is.
    if (!made.empty()) {
        ReopenSameRegistry();
        ShowRegistryChanged(failed.empty() ? "Restored the backup of " + when : std::string());
    }
    if (m_historyWindow) m_historyWindow->refresh();
#else
    (void)folder;
#endif
}

void TRegForm::ReopenSameRegistry()
{
#ifndef _WIN32
    const auto opened = quarnel::platform::reopenRegistry(&Dialogs::confirm);
    if (const std::string message = RegistrySession::openingMessage(opened); !message.empty()) {
        if (opened.status == quarnel::platform::RegistryOpened::Status::Ok)
            Dialogs::information(message);
        else
            Dialogs::error(message);
    }
#endif
    // The session's edits were made to the registry as it was: their undo files
    // stay in the History window, Ctrl+Z starts afresh.
    m_undoHistory.clear();
    ResetRegistryViews(); // as after a switch to another registry
}
