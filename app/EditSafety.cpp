#include "app/EditSafety.h"

#include "app/Dialogs.h"
#include "registry/TRegistry.h"
#include "registry/UndoCapture.h"

#include <exception>

#ifndef _WIN32
#include "registry/platform/RegistryFiles.h"

namespace files = quarnel::platform;
#endif

bool EditSafety::refusesChanges()
{
#ifndef _WIN32
    const std::string reason = files::readOnlyReason();
    if (!reason.empty()) {
        Dialogs::error(reason);
        return true;
    }
#endif
    return false;
}

std::string EditSafety::whyRefused()
{
#ifndef _WIN32
    std::string reason = files::takeRegistryNotice();
    if (reason.empty()) reason = files::readOnlyReason();
    return reason;
#else
    return {};
#endif
}

bool EditSafety::refusesFromNowOn()
{
    const std::string reason = whyRefused();
    if (!reason.empty()) Dialogs::error(reason);
    return !reason.empty();
}

EditSafety::EditSafety(UndoHistory &history, std::string kind, std::string cutShort)
    : m_history(history), m_kind(std::move(kind)), m_cutShort(std::move(cutShort)),
      m_uncaught(std::uncaught_exceptions())
{
}

EditSafety::~EditSafety()
{
    // An error that ends the edit may come after some of its changes; they can
    // be taken back like a whole edit.
    if (!m_finished && !m_undoFile.empty() && std::uncaught_exceptions() > m_uncaught)
        m_history.add(m_undoFile, m_cutShort);
}

bool EditSafety::prepare(const std::function<void(UndoCapture &)> &capture)
{
#ifndef _WIN32
    if (files::safetyFolder().empty()) return true;
    if (const std::string failed = files::backupBeforeFirstChange(); !failed.empty()) {
        Dialogs::error(failed);
        return false;
    }
    UndoCapture record;
    try {
        capture(record);
    } catch (const ERegistryException &e) {
        Dialogs::error("Quarnel cannot read what this edit would change, so it has changed "
                       "nothing.\n" +
                       std::string(e.what()));
        return false;
    }
    if (const std::string failed = files::writeUndoFile(m_kind, record.file().write(), m_undoFile);
        !failed.empty()) {
        Dialogs::error(failed);
        return false;
    }
#else
    (void)capture;
#endif
    return true;
}

void EditSafety::finish(bool changed, const std::string &description)
{
    m_finished = true;
    if (changed && !m_undoFile.empty()) m_history.add(m_undoFile, description);
}
