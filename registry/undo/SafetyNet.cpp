#include "registry/undo/SafetyNet.h"

#include "registry/api/TRegistry.h"
#include "registry/undo/UndoCapture.h"
#include "registry/undo/UndoFiles.h"

#include <filesystem>

namespace files = quarnel::platform;

files::RegistryRefusal SafetyNet::refusal()
{
#ifndef _WIN32
    return files::registryRefusal();
#else
    return {};
#endif
}

files::RegistryRefusal SafetyNet::refusalFromNowOn()
{
#ifndef _WIN32
    if (std::string notice = takeNotice(); !notice.empty()) {
        files::RegistryRefusal refusal;
        refusal.kind = files::RegistryRefusal::Kind::Other;
        refusal.detail = std::move(notice);
        return refusal;
    }
    return files::registryRefusal();
#else
    return {};
#endif
}

std::string SafetyNet::takeNotice()
{
#ifndef _WIN32
    return files::takeRegistryNotice();
#else
    return {};
#endif
}

std::string SafetyNet::causeFirst(const std::string &cause, const std::string &text,
                                  const std::string &lineBreak)
{
    return cause.empty() ? text : cause + lineBreak + text;
}

SafetyNet::SafetyNet(std::string kind, std::string cutShort)
    : m_kind(std::move(kind)), m_cutShort(std::move(cutShort))
{
}

void SafetyNet::recordOf(UndoFiles::Kind kind, const std::string &takenBack)
{
    m_recordOf.emplace(kind, takenBack);
}

std::string SafetyNet::prepare(const std::function<void(UndoCapture &)> &capture)
{
#ifndef _WIN32
    if (files::safetyFolder().empty()) return {};
    if (std::string failed = files::backupBeforeFirstChange(); !failed.empty()) return failed;
    UndoCapture record;
    try {
        capture(record);
    } catch (const ERegistryException &e) {
        return "Quarnel cannot read what this edit would change, so it has changed nothing.\n" +
               std::string(e.what());
    }
    std::string bytes = UndoFiles::described(record.file().write(), m_cutShort);
    if (m_recordOf) bytes = UndoFiles::asRecord(bytes, m_recordOf->first, m_recordOf->second);
    return files::writeUndoFile(m_kind, bytes, m_undoFile);
#else
    (void)capture;
    return {};
#endif
}

void SafetyNet::finish(bool changed, const std::string &description)
{
    if (m_undoFile.empty()) return;
    // An edit that changed nothing has nothing to take back: listed, it would be
    // offered as an undo. Removing it needs no room on a full disk.
    std::error_code error;
    if (!changed && std::filesystem::remove(m_undoFile, error)) return;
    // The edit's outcome only labels the file: a failure to say it loses nothing.
    UndoFiles::describe(m_undoFile, changed ? description : "nothing changed (" + m_kind + ")");
}
