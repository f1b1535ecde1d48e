// Taking back the edit an undo file records: the one home for it, for Ctrl+Z,
// redo, the History window and `quarnel undo`. What the undo will change is
// written first as an undo file of its own (a record, see UndoFiles.h), so that
// taking that back redoes the edit; then the file is applied and marked as taken
// back in one unit (ApplyUndo inside it): a kill or a full disk leaves the undo
// made and marked, or neither. The caller asks the user and checks that the
// registry takes changes (SafetyNet::refusal) before.
#pragma once

#include "registry/undo/UndoFiles.h"

#include <string>
#include <vector>

namespace TakeBack {

struct Outcome
{
    // The safety net refused (no backup, no record could be written): nothing changed.
    std::string refused;
    // One line per item that could not be given back; then nothing of it was kept.
    std::vector<std::string> failures;
    std::string record;      // the undo file of this undo; "" without a safety folder
    std::string description; // "undo of 3 items deleted"

    bool done() const { return refused.empty() && failures.empty(); }
};

Outcome takeBack(const UndoFiles::Entry &entry);

} // namespace TakeBack
