// The safety net around one edit of the registry, for every face of the program
// (the window's EditSafety, the command line):
//
//   if (auto why = SafetyNet::refusal(); why.refuses()) ...say it, stop...
//   ...the user confirms...
//   SafetyNet net("delete", "unfinished delete");
//   if (auto failed = net.prepare([&](UndoCapture &c) { ... }); !failed.empty())
//       ...say it, change nothing...
//   ...the edit...
//   net.finish(changed, "3 items deleted");
//
// prepare() makes the backup before the first change of the session, then
// writes what the edit may change as an undo file. Its comment line says what
// the edit was: "unfinished delete" until finish() names what was done; an edit
// that changed nothing leaves no undo file.
// Without registry files (and no test folder) there is nothing to back up and
// nowhere to keep undo files: edits then go ahead without either.
#pragma once

#include "registry/source/RegistryFiles.h"
#include "registry/undo/UndoFiles.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

class UndoCapture;

class SafetyNet
{
public:
    // Why the registry takes no changes (Wine runs on it, another program holds
    // it), as facts each face words itself; kind None when it takes them.
    static quarnel::platform::RegistryRefusal refusal();
    // After an item of an edit failed: why the registry now refuses every change
    // (its journal cannot be written, Wine started beside us); kind None when it does not.
    static quarnel::platform::RegistryRefusal refusalFromNowOn();
    // Why a change failed that its caller cannot explain (the journal could not
    // be written), once; "" when there is nothing new to tell.
    static std::string takeNotice();
    // What failed told with its cause first (each face's words for
    // refusalFromNowOn()), when there is one, then `lineBreak` and `text`.
    static std::string causeFirst(const std::string &cause, const std::string &text,
                                  const std::string &lineBreak);

    // `kind` goes into the undo file's name ("delete"); `cutShort` describes the
    // edit until finish() (and for good when it never comes).
    SafetyNet(std::string kind, std::string cutShort);

    // For an undo: its undo file is, from its first writing, the record of taking
    // back `takenBack` (see UndoFiles.h).
    void recordOf(UndoFiles::Kind kind, const std::string &takenBack);

    // "" when the edit may go ahead, else a message for the user: nothing may change.
    std::string prepare(const std::function<void(UndoCapture &)> &capture);
    // The edit ran to its end: its undo file says what it did.
    void finish(bool changed, const std::string &description);

    // The undo file prepare() wrote; "" before, or without a safety folder.
    const std::string &undoFile() const { return m_undoFile; }

private:
    std::string m_kind;
    std::string m_cutShort;
    std::string m_undoFile;
    std::optional<std::pair<UndoFiles::Kind, std::string>> m_recordOf;
};
