#include "registry/undo/UndoApply.h"

#include "registry/api/TRegistry.h"
#include "registry/source/ChangeUnit.h"
#include "registry/text/RegistryPathText.h"
#include "registry/text/ValueText.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

void ApplySection(const RegEditSection &section, std::vector<std::string> &failures)
{
    const RegistryPathText at = RegistryPathText::fromFull(section.path);
    if (!at.root()) {
        failures.push_back("not a registry root: " + section.path);
        return;
    }
    TRegistry reg;
    reg.SelectRoot(at.root());
    const std::string path = "\\" + at.below();
    if (section.removal) {
        // Nothing to do when the key is not there (the edit never created it).
        if ((reg.HasKey(path) || reg.IsLink(path)) && !reg.DeleteTree(path))
            failures.push_back("not deleted: " + section.path);
        return;
    }
    if (section.link) {
        // The values go onto the link itself; one that is there already is opened
        // as itself, an ordinary key in its place stays as it is.
        if (!reg.OpenLinkPath(path)) {
            if (!reg.CreateLinkPath(path)) {
                failures.push_back("not created: " + section.path);
                return;
            }
        } else if (!reg.IsLink(path)) {
            failures.push_back("not restored as a link: " + section.path);
            return;
        }
    } else {
        try {
            reg.CreatePath(path);
        } catch (const ERegistryException &) {
            failures.push_back("not created: " + section.path);
            return;
        }
        if (!reg.OpenPath(path)) {
            failures.push_back("not opened: " + section.path);
            return;
        }
    }
    for (const RegEditValue &value : section.values) {
        const std::string shown =
            section.path + "\\" + (value.name.empty() ? std::string(kStandardName) : value.name);
        if (value.removal) {
            if (reg.HasValue(value.name) && !reg.RemoveValue(value.name))
                failures.push_back("not deleted: " + shown);
            continue;
        }
        try {
            reg.StoreStored(value.name, value.data, value.type);
        } catch (const ERegistryException &) {
            failures.push_back("not restored: " + shown);
        }
    }
}

} // namespace

std::vector<std::string> ApplyUndo(const RegEditFile &file, const std::string &description,
                                   const std::string &undoFile)
{
    return ApplySections(
        [&](const SectionHandler &apply) {
            for (const RegEditSection &section : file.sections)
                apply(section);
        },
        description, undoFile);
}

std::vector<std::string> ApplySections(const std::function<void(const SectionHandler &)> &sections,
                                       const std::string &description, const std::string &undoFile)
{
    quarnel::platform::ChangeUnit unit(description, undoFile);
    std::vector<std::string> failures;
    // Every section is tried, so that the user learns each item that fails;
    // then, when any did, all of it goes back.
    sections([&](const RegEditSection &section) { ApplySection(section, failures); });
    if (!failures.empty())
        unit.abandon();
    else if (!unit.commit())
        failures.push_back(unit.error().empty() ? "the journal could not be written"
                                                : unit.error());
    return failures;
}

std::string ReadUndoFile(const std::string &path, RegEditFile &file)
{
    // Only a regular file of a sane size: a FIFO would block the read for good,
    // a device would never end.
    constexpr std::uintmax_t kMaxBytes = std::uintmax_t(1) << 30;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return path + " is not a regular file; nothing was changed";
    if (std::filesystem::exists(status)) {
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error) return "cannot read " + path;
        if (size > kMaxBytes) return path + " is too large for an undo file; nothing was changed";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read " + path;
    std::stringstream bytes;
    bytes << in.rdbuf();
    const RegEditParseResult parsed = RegEditFile::parse(bytes.str(), file);
    if (!parsed.ok)
        return path + ":" + std::to_string(parsed.line) + ": " + parsed.message +
               "; nothing was changed";
    return {};
}

std::string UndoJournalName(const std::string &path, const std::string &editDescription)
{
    return editDescription.empty() ? "the undo from " + path
                                   : "the undo of \"" + editDescription + "\"";
}

std::vector<std::string> ApplyUndoFile(const std::string &path, const std::string &editDescription)
{
    RegEditFile file;
    if (std::string failed = ReadUndoFile(path, file); !failed.empty()) return {failed};
    return ApplyUndo(file, UndoJournalName(path, editDescription), path);
}
