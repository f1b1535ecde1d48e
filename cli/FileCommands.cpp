// export, import and undo: the commands that work with registry editor files.
#include "cli/Session.h"
#include "registry/ImportFile.h"
#include "registry/RegistryPathText.h"
#include "registry/SafetyNet.h"
#include "registry/TRegistry.h"
#include "registry/TakeBack.h"
#include "registry/UndoApply.h"
#include "registry/UndoCapture.h"
#include "registry/UndoFiles.h"
#include "registry/ValueText.h"
#include "registry/platform/RegistryFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quarnel::cli {

namespace {

constexpr std::uintmax_t kMostImportBytes = std::uintmax_t(1) << 30;

bool keyExists(const RegistryPathText &at)
{
    TRegistry reg;
    reg.SelectRoot(at.root());
    return reg.HasKey("\\" + at.below());
}

std::string typeName(uint32_t type)
{
    switch (type) {
    case 1: return "REG_SZ";
    case 2: return "REG_EXPAND_SZ";
    case 3: return "REG_BINARY";
    case 4: return "REG_DWORD";
    case 7: return "REG_MULTI_SZ";
    case 11: return "REG_QWORD";
    default: return "type " + std::to_string(type);
    }
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
    const RegistryPathText at = RegistryPathText::fromFull(inv.operands[0]);
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
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::is_regular_file(status))
        return session.fail(path + " is not a file that can be read; nothing was changed");
    if (std::filesystem::file_size(path, error) > kMostImportBytes)
        return session.fail(path + " is too large; nothing was changed");
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in) return session.fail("cannot read " + path + "; nothing was changed");

    const ImportRead read = readImportFile(bytes.str());
    if (!read.faults.empty()) {
        std::string text = path + " has " + std::to_string(read.faults.size()) +
                           (read.faults.size() == 1 ? " fault" : " faults") +
                           "; nothing was changed:";
        for (const ImportFault &fault : read.faults)
            text += "\n" + path + ":" + std::to_string(fault.line) + ": " + fault.reason;
        if (!session.open(false)) return kTrouble; // the message names the prefix
        return session.fail(text);
    }
    if (!session.open(!inv.dryRun)) return kTrouble;

    std::size_t keys = 0, values = 0;
    for (const RegEditSection &section : read.file.sections) {
        ++keys;
        values += section.values.size();
    }
    if (inv.dryRun) {
        for (const RegEditSection &section : read.file.sections) {
            const RegistryPathText at = RegistryPathText::fromFull(section.path);
            if (section.removal) {
                out("delete key " + at.full() + " with all below it\n");
                continue;
            }
            out((keyExists(at) ? "key " : "create key ") + at.full() + "\n");
            for (const RegEditValue &value : section.values) {
                const std::string name =
                    value.name.empty() ? std::string(kStandardName) : "\"" + value.name + "\"";
                out(value.removal ? "  delete value " + name + "\n"
                                  : "  set " + name + " (" + typeName(value.type) + ", " +
                                        std::to_string(value.data.size()) + " bytes)\n");
            }
        }
        return kDone;
    }

    const std::string description = "import of " + path;
    SafetyNet net("import", "unfinished " + description);
    const std::string failed =
        net.prepare([&](UndoCapture &capture) { captureImport(capture, read.file); });
    if (!failed.empty()) return session.fail(failed);
    const std::vector<std::string> failures = ApplyUndo(read.file, "the " + description);
    if (!failures.empty()) {
        net.finish(false, description);
        return session.fail(SafetyNet::causeFirst(
            listText("the import of " + path + " failed, so nothing of it was kept:", failures),
            "\n"));
    }
    net.finish(true, description);
    out("imported " + std::to_string(keys) + (keys == 1 ? " key" : " keys") + " and " +
        std::to_string(values) + (values == 1 ? " value" : " values") + " from " + path + "\n");
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
                (entry.description.empty() ? std::string("(not described)") : entry.description) +
                "\t" + entry.path + "\n");
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
            listText("the undo failed, so nothing was undone:", outcome.failures), "\n"));
    out("Undone: " + what + "\n");
    return kDone;
}

} // namespace quarnel::cli
