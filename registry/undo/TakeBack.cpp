#include "registry/undo/TakeBack.h"

#include "registry/source/ChangeUnit.h"
#include "registry/text/RegistryPathText.h"
#include "registry/undo/SafetyNet.h"
#include "registry/undo/UndoApply.h"
#include "registry/undo/UndoCapture.h"

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
    net.recordOf(kind, entry.path);
    out.refused = net.prepare([&](UndoCapture &capture) { captureWhatApplies(file, capture); });
    if (!out.refused.empty()) return out;
    out.record = net.undoFile();
    {
        // The changes, the record's description and the mark on the file taken back
        // are one unit: killed or refused midway, the undo is neither made nor marked,
        // and a start takes the mark and the record back.
        const std::string name = UndoJournalName(entry.path, entry.description);
        quarnel::platform::ChangeUnit unit(name, entry.path, out.record);
        out.failures = ApplyUndo(file, name, entry.path);
        if (out.failures.empty()) {
            net.finish(true, out.description);
            if (std::string failed = UndoFiles::markTakenBack(entry.path); !failed.empty())
                out.failures.push_back(failed);
        }
        if (!out.failures.empty()) {
            unit.abandon();
        } else if (!unit.commit()) {
            out.failures.push_back(unit.error().empty() ? "the journal could not be written"
                                                        : unit.error());
            UndoFiles::unmarkTakenBack(entry.path);
        }
    }
    if (!out.failures.empty()) {
        // Nothing of it was kept: there is nothing to redo.
        std::error_code ignored;
        if (!out.record.empty()) std::filesystem::remove(out.record, ignored);
        out.record.clear();
    }
    return out;
}

} // namespace TakeBack
