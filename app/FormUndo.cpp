// Ctrl+Z: taking back the edits of this session, newest first, from their undo files.
#include "app/TRegForm.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "app/QtText.h"
#include "registry/UndoApply.h"
#include "registry/UndoFiles.h"

#include <QLabel>

#include <string>
#include <vector>

void TRegForm::UndoLastEdit()
{
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

    const std::vector<std::string> failures = ApplyUndoFile(edit.undoFile, edit.description);
    if (!failures.empty()) {
        // Nothing of it was kept: it stays the newest edit, and applying its undo
        // file again gives the same result, so Ctrl+Z can try again.
        Dialogs::error(EditSafety::undoFailedText(failures, true));
        lb1->setText(QStringLiteral("Not undone: ") + toQt(edit.description));
        return;
    }
    m_undoHistory.dropNewest();
    // So that no later run (nor the command line's undo) takes it back again.
    UndoFiles::markTakenBack(edit.undoFile);
    lb1->setText(QStringLiteral("Undone: ") + toQt(edit.description));
}
