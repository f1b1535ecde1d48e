#include "app/RegistrySession.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "registry/UndoApply.h"
#include "registry/UndoFiles.h"

#include <QTimer>

#include <utility>

#ifndef _WIN32
#include "registry/platform/RegistryFiles.h"
#endif

namespace {
// Changes reach the files once the registry has been quiet this long, so Wine sees them.
constexpr int kIdleCheckMs = 1000;
} // namespace

RegistrySession::RegistrySession()
{
#ifndef _WIN32
    const auto opened = quarnel::platform::openRegistry(&Dialogs::confirm);
    m_message = opened.message;
    m_failed = opened.status != quarnel::platform::RegistryOpened::Status::Ok;
    if (!m_failed) m_undosCutShort = opened.undosCutShort;
    m_idleSaver = new QTimer(this);
    m_idleSaver->setInterval(kIdleCheckMs);
    connect(m_idleSaver, &QTimer::timeout, this, &RegistrySession::saveIfIdle);
    m_idleSaver->start();
#endif
}

RegistrySession::~RegistrySession()
{
#ifndef _WIN32
    const std::string message = quarnel::platform::closeRegistry();
    if (!message.empty()) Dialogs::error(message);
#endif
}

void RegistrySession::showOpeningMessage()
{
    if (m_message.empty()) return;
    if (m_failed)
        Dialogs::error(m_message);
    else
        Dialogs::information(m_message);
    offerCutShortUndos();
}

void RegistrySession::offerCutShortUndos()
{
    for (const std::string &undoFile : std::exchange(m_undosCutShort, {})) {
        if (!Dialogs::confirm("Apply the undo from " + undoFile + " again now?")) continue;
        const std::vector<std::string> failures = ApplyUndoFile(undoFile);
        if (failures.empty()) {
            UndoFiles::markTakenBack(undoFile); // not to be taken back once more
            Dialogs::information("Undone: the changes recorded in " + undoFile + " are back.");
        } else
            Dialogs::error(EditSafety::undoFailedText(failures, false));
    }
}

void RegistrySession::saveIfIdle()
{
#ifndef _WIN32
    const std::string message = quarnel::platform::flushRegistryIfIdle();
    if (!message.empty()) Dialogs::error(message);
    const std::string notice = quarnel::platform::takeRegistryNotice();
    if (!notice.empty()) Dialogs::error(notice);
#endif
}
