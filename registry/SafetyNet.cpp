#include "registry/SafetyNet.h"

#include "registry/TRegistry.h"
#include "registry/UndoCapture.h"
#include "registry/UndoFiles.h"

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
    if (std::string notice = files::takeRegistryNotice(); !notice.empty()) {
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

SafetyNet::SafetyNet(std::string kind, std::string cutShort)
    : m_kind(std::move(kind)), m_cutShort(std::move(cutShort))
{
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
    const std::string bytes = UndoFiles::described(record.file().write(), m_cutShort);
    return files::writeUndoFile(m_kind, bytes, m_undoFile);
#else
    (void)capture;
    return {};
#endif
}

void SafetyNet::finish(bool changed, const std::string &description)
{
    if (m_undoFile.empty()) return;
    // The edit's outcome only labels the file: a failure to say it loses nothing.
    UndoFiles::describe(m_undoFile, changed ? description : "nothing changed (" + m_kind + ")");
}
