// export, import and undo: the commands that work with registry editor files.
#include "cli/Session.h"
#include "registry/api/TRegistry.h"
#include "registry/regfile/ImportFile.h"
#include "registry/source/RegistryFiles.h"
#include "registry/text/CellText.h"
#include "registry/text/RegistryPathText.h"
#include "registry/text/ValueText.h"
#include "registry/undo/ImportEdit.h"
#include "registry/undo/SafetyNet.h"
#include "registry/undo/TakeBack.h"
#include "registry/undo/UndoCapture.h"
#include "registry/undo/UndoFiles.h"

#include <fstream>

namespace quarnel::cli {

namespace {

bool keyExists(const RegistryPathText &at)
{
    TRegistry reg;
    reg.SelectRoot(at.root());
    return reg.HasKey("\\" + at.below());
}

std::string utcText(std::time_t when)
{
    if (when == 0) return "(time unknown)";
    char text[32];
    std::tm tm{};
    gmtime_r(&when, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

} // namespace

int runExport(Session &session)
{
    const Invocation &inv = session.invocation();
    const RegistryPathText at = RegistryPathText::fromTyped(inv.operands[0]);
    if (!at.root()) return session.fail("\"" + inv.operands[0] + "\" does not start with a root");
    if (!session.open(false)) return kTrouble;
    if (!keyExists(at)) return session.fail("there is no key " + at.full());
    std::string bytes;
    try {
        bytes = exportKey(at.rootName(), at.below());
    } catch (const ERegistryException &e) {
        return session.fail(std::string("cannot read ") + at.full() + ": " + e.what());
    }
    if (inv.operands.size() < 2 || inv.operands[1] == "-") {
        out(bytes);
        return kDone;
    }
    std::ofstream file(inv.operands[1], std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) return session.fail("cannot write " + inv.operands[1]);
    return kDone;
}

int runImport(Session &session)
{
    const Invocation &inv = session.invocation();
    const std::string &path = inv.operands[0];
    const ImportRead read = readImportPath(path);
    if (!read.error.empty()) return session.fail(read.error);
    if (read.faultCount != 0) {
        std::string text = path + " has " + read.faultCountText() + "; nothing was changed:";
        for (const ImportFault &fault : read.faults)
            text += "\n" + path + ":" + std::to_string(fault.line) + ": " + fault.reason;
        if (read.faultCount > read.faults.size())
            text += "\nand " + std::to_string(read.faultCount - read.faults.size()) + " more";
        if (!session.open(false)) return kTrouble; // the message names the prefix
        return session.fail(text);
    }
    if (!session.open(!inv.dryRun)) return kTrouble;

    if (inv.dryRun) {
        read.forEachSection([](const RegEditSection &section) {
            const RegistryPathText at = RegistryPathText::fromFull(section.path);
            const std::string shown = screenText(at.full());
            if (section.removal) {
                out("delete key " + shown + " with all below it\n");
                return;
            }
            out((keyExists(at) ? "key " : "create key ") + shown + "\n");
            for (const RegEditValue &value : section.values) {
                const std::string name = value.name.empty() ? std::string(kStandardName)
                                                            : "\"" + screenText(value.name) + "\"";
                out(value.removal ? "  delete value " + name + "\n"
                                  : "  set " + name + " (" + TypeTextOrNumber(value.type) + ", " +
                                        std::to_string(value.data.size()) + " bytes)\n");
            }
        });
        return kDone;
    }

    if (!session.confirm("Import " + read.countText() + " from " + path + "?")) return kTrouble;
    const std::string description = "import of " + path;
    SafetyNet net("import", "unfinished " + description);
    const std::string failed =
        net.prepare([&](UndoCapture &capture) { captureImport(capture, read); });
    if (!failed.empty()) return session.fail(failed);
    const std::vector<std::string> failures = applyImport(read, "the " + description);
    if (!failures.empty()) {
        net.finish(false, description);
        return session.fail(SafetyNet::causeFirst(
            refusalText(SafetyNet::refusalFromNowOn()),
            listText("the import of " + path + " failed, so nothing of it was kept:", failures),
            "\n"));
    }
    net.finish(true, description);
    out("imported " + read.countText() + " from " + path + "\n");
    return kDone;
}

int runUndo(Session &session)
{
    const Invocation &inv = session.invocation();
    if (!session.open(!inv.list)) return kTrouble;
    const std::string folder = quarnel::platform::safetyFolder();
    // As Ctrl+Z: edits and redos; the records of undos wait for a redo in the window.
    const std::vector<UndoFiles::Entry> entries =
        folder.empty() ? std::vector<UndoFiles::Entry>{} : UndoFiles::undoable(folder);
    if (inv.list) {
        for (const UndoFiles::Entry &entry : entries)
            out(utcText(entry.time) + "\t" +
                (entry.description.empty() ? std::string("(not described)")
                                           : screenText(entry.description)) +
                "\t" + screenText(entry.path) + "\n");
        return kDone;
    }
    if (entries.empty()) return session.fail("there is no change to take back");
    const UndoFiles::Entry &newest = entries.front();
    const std::string what = newest.description.empty() ? newest.path : newest.description;
    if (!session.confirm("Undo \"" + what + "\" of " + utcText(newest.time) + "?")) return kTrouble;
    const TakeBack::Outcome outcome = TakeBack::takeBack(newest);
    if (!outcome.refused.empty()) return session.fail(outcome.refused);
    if (!outcome.failures.empty())
        return session.fail(SafetyNet::causeFirst(
            refusalText(SafetyNet::refusalFromNowOn()),
            listText("the undo failed, so nothing was undone:", outcome.failures), "\n"));
    out("Undone: " + screenText(what) + "\n");
    return kDone;
}

} // namespace quarnel::cli
