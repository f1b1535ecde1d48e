// Ctrl+Z: taking back the edits of this session, newest first, from their undo files
// (each undo writes an undo file of its own, which Ctrl+Y takes back: app/FormHistory.cpp).
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/HistoryWindow.h"
#include "registry/undo/TakeBack.h"
#include "registry/undo/UndoFiles.h"
#include "widgets/QtText.h"

#include <QLabel>

#include <string>
#include <vector>

void TRegForm::UndoLastEdit()
{
    // Edits taken back meanwhile in the History window or by `quarnel undo` are done.
    for (const UndoHistory::Entry *newest = m_undoHistory.newest(); newest;
         newest = m_undoHistory.newest()) {
        const auto entry = UndoFiles::entryOf(newest->undoFile);
        if (!entry || !entry->takenBack) break;
        m_undoHistory.dropNewest();
    }
    const UndoHistory::Entry *newest = m_undoHistory.newest();
    if (!newest) {
        Dialogs::information("Nothing to undo");
        return;
    }
    const UndoHistory::Entry edit = *newest;
    if (!Dialogs::confirm("Undo the last change?\n\r" + edit.description)) return;
    // The question ran the message loop: another edit may have come meanwhile.
    newest = m_undoHistory.newest();
    if (!newest || newest->undoFile != edit.undoFile) return;

    UndoFiles::Entry entry{edit.undoFile, 0, edit.description};
    if (const auto listed = UndoFiles::entryOf(edit.undoFile)) {
        entry = *listed;
        entry.description = edit.description;
    }
    const TakeBack::Outcome outcome = TakeBack::takeBack(entry);
    if (!outcome.refused.empty()) {
        Dialogs::error(outcome.refused);
        lb1->setText(QStringLiteral("Not undone: ") + toQt(edit.description));
        return;
    }
    if (!outcome.failures.empty()) {
        // Nothing of it was kept: it stays the newest edit, and applying its undo
        // file again gives the same result, so Ctrl+Z can try again.
        Dialogs::error(EditSafety::undoFailedText(outcome.failures, true));
        lb1->setText(QStringLiteral("Not undone: ") + toQt(edit.description));
        return;
    }
    // The file is marked as taken back, so that no later run (nor the command
    // line's undo) takes it back again; its record is what Ctrl+Y redoes.
    m_undoHistory.dropNewest();
    ShowRegistryChanged("Undone: " + edit.description);
    if (m_historyWindow) m_historyWindow->refresh();
}
