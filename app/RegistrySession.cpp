#include "app/RegistrySession.h"

#include "app/Dialogs.h"

#include <QTimer>

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
