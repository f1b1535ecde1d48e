// The window's face of the safety net (registry/undo/SafetyNet.h) around one edit (the bulk
// delete and replace, the browser's two deletions):
//
//   if (EditSafety::refusesChanges()) return;      // before anything is asked
//   ...the user confirms...
//   EditSafety safety(m_undoHistory, "delete", "unfinished delete");
//   if (!safety.prepare([&](UndoCapture &c) { ...what the edit may change... })) return;
//   ...the edit...
//   safety.finish(changed, "3 items deleted");
//
// Without registry files (and no test folder) there is nothing to back up and
// nowhere to keep undo files: edits then go ahead without either.
#pragma once

#include "app/UndoHistory.h"
#include "registry/undo/SafetyNet.h"

#include <functional>
#include <string>
#include <vector>

class UndoCapture;

class EditSafety
{
public:
    // Shows, in one error box, why the registry takes no changes. True: the
    // edit must not even ask.
    static bool refusesChanges();
    // After an item of a bulk edit failed: when the registry now refuses every change
    // (its journal cannot be written, Wine started beside us), shows why in one
    // error box and returns true, so the edit stops instead of failing item by item.
    static bool refusesFromNowOn();
    // Why the registry refused a change that failed, when it says (else ""), once.
    static std::string whyRefused();
    // Why the registry takes no changes, in the window's words ("" when it takes them).
    static std::string refusalText(const quarnel::platform::RegistryRefusal &refusal);
    // The one box's text for an edit that failed: why the registry refused, when
    // it says (once), first, then `text`.
    static std::string failedText(const std::string &text);
    // The same for an undo that failed (nothing of it was kept), with its first failures.
    static std::string undoFailedText(const std::vector<std::string> &failures, bool retryHint);

    // `kind` goes into the undo file's name ("delete", "replace"); `cutShort`
    // describes the edit in the history when an error ends it before finish().
    EditSafety(UndoHistory &history, std::string kind, std::string cutShort);
    ~EditSafety();
    EditSafety(const EditSafety &) = delete;
    EditSafety &operator=(const EditSafety &) = delete;

    // Once the user confirmed, before the first change: the backup, then what
    // the edit may change as it is now, saved as the undo file. False after one
    // error box: nothing may change.
    bool prepare(const std::function<void(UndoCapture &)> &capture);

    // The edit ran to its end. If it changed anything, Ctrl+Z can take it back.
    void finish(bool changed, const std::string &description);

private:
    UndoHistory &m_history;
    SafetyNet m_net;
    std::string m_cutShort;
    bool m_finished = false;
    int m_uncaught = 0;
};
