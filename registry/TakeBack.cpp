#include "registry/TakeBack.h"

#include "registry/RegistryPathText.h"
#include "registry/SafetyNet.h"
#include "registry/UndoApply.h"
#include "registry/UndoCapture.h"

#include <filesystem>

namespace {

// What applying `file` changes, as it is now: keys it deletes whole, keys it
// creates, each value it stores or removes.
void captureWhatApplies(const RegEditFile &file, UndoCapture &capture)
{
    for (const RegEditSection &section : file.sections) {
        const RegistryPathText at = RegistryPathText::fromFull(section.path);
        if (!at.root()) continue;
        if (section.removal) {
            capture.captureKey(at.rootName(), at.below());
            continue;
        }
        capture.captureNewKeyPath(at.rootName(), at.below());
        for (const RegEditValue &value : section.values)
            capture.captureValue(at.rootName(), at.below(), value.name);
    }
}

} // namespace

namespace TakeBack {

Outcome takeBack(const UndoFiles::Entry &entry)
{
    Outcome out;
    RegEditFile file;
    if (std::string failed = ReadUndoFile(entry.path, file); !failed.empty()) {
        out.failures.push_back(std::move(failed));
        return out;
    }
    const UndoFiles::Kind kind = UndoFiles::recordKind(entry);
    out.description = UndoFiles::recordDescription(entry);
    SafetyNet net(kind == UndoFiles::Kind::Redo ? "redo" : "undo", "unfinished " + out.description);
    out.refused = net.prepare([&](UndoCapture &capture) { captureWhatApplies(file, capture); });
    if (!out.refused.empty()) return out;
    out.record = net.undoFile();
    // Marked before anything changes: a record cut short by a crash still gives
    // back the state before this undo.
    if (!out.record.empty()) UndoFiles::markRecord(out.record, kind, entry.path);
    out.failures = ApplyUndo(file, UndoJournalName(entry.path, entry.description), entry.path);
    if (!out.failures.empty()) {
        // Nothing of it was kept: there is nothing to redo.
        std::error_code ignored;
        if (!out.record.empty()) std::filesystem::remove(out.record, ignored);
        out.record.clear();
        return out;
    }
    net.finish(true, out.description);
    out.note = UndoFiles::markTakenBack(entry.path);
    return out;
}

} // namespace TakeBack
