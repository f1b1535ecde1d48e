#include "app/RegistrySession.h"

#include "app/Dialogs.h"
#include "app/EditSafety.h"
#include "registry/undo/TakeBack.h"
#include "registry/undo/UndoFiles.h"

#include <QTimer>

#include <filesystem>
#include <utility>

#ifndef _WIN32
#include "registry/kinds/SourceKinds.h"
#endif

namespace {
// Changes reach the files once the registry has been quiet this long, so Wine sees them.
constexpr int kIdleCheckMs = 1000;
} // namespace

RegistrySession::RegistrySession()
{
    open(nullptr, {});
}

RegistrySession::RegistrySession(const quarnel::platform::SourceKind &kind,
                                 const std::string &directory)
{
    open(&kind, directory);
}

void RegistrySession::open(const quarnel::platform::SourceKind *kind, const std::string &directory)
{
#ifndef _WIN32
    const auto opened = kind
                            ? quarnel::platform::openRegistryAt(*kind, directory, &Dialogs::confirm)
                            : quarnel::platform::openRegistry(&Dialogs::confirm);
    m_directory = opened.directory;
    // The default may have fallen back to Quarnel's own registry.
    m_kind = opened.kind;
    m_message = openingMessage(opened);
    m_failed = opened.status != quarnel::platform::RegistryOpened::Status::Ok;
    m_openFailed = opened.status == quarnel::platform::RegistryOpened::Status::Failed;
    m_undosCutShort.clear();
    if (!m_failed) m_undosCutShort = opened.undosCutShort;
    if (!m_idleSaver) {
        m_idleSaver = new QTimer(this);
        m_idleSaver->setInterval(kIdleCheckMs);
        connect(m_idleSaver, &QTimer::timeout, this, &RegistrySession::saveIfIdle);
        m_idleSaver->start();
    }
#else
    (void)kind, (void)directory;
#endif
}

#ifndef _WIN32
std::string RegistrySession::openingMessage(const quarnel::platform::RegistryOpened &opened)
{
    using Kind = quarnel::platform::RegistryRefusal::Kind;
    const quarnel::platform::RegistryRefusal refusal = quarnel::platform::registryRefusal();
    // The other reasons are in the opening's message already.
    if (opened.status != quarnel::platform::RegistryOpened::Status::ReadOnly ||
        refusal.kind == Kind::Other || refusal.kind == Kind::None)
        return opened.message;
    const std::string why = EditSafety::refusalText(refusal);
    return opened.message.empty() ? why : why + "\n" + opened.message;
}
#endif

bool RegistrySession::switchTo(const quarnel::platform::SourceKind &kind,
                               const std::string &directory)
{
#ifndef _WIN32
    const std::string before = m_directory;
    const quarnel::platform::SourceKind *beforeKind = m_kind;
    // As at a close: everything saved, the journal ended, the lock let go.
    if (const std::string message = quarnel::platform::closeRegistry(); !message.empty())
        Dialogs::error(message);
    open(&kind, directory);
    // Read-only is opened (its message says why); only no registry at all goes back.
    if (!m_openFailed) return true;
    const std::string why = m_message;
    if (!before.empty() && beforeKind) open(beforeKind, before);
    Dialogs::error(why.empty() ? "The registry in " + directory + " could not be opened." : why);
    return false;
#else
    (void)kind, (void)directory;
    return false;
#endif
}

bool RegistrySession::isDefaultRegistry(const std::string &directory)
{
#ifndef _WIN32
    std::error_code error;
    const std::string fallback = quarnel::platform::defaultRegistryDirectory();
    if (fallback.empty()) return false;
    return std::filesystem::weakly_canonical(fallback, error) ==
           std::filesystem::weakly_canonical(directory, error);
#else
    (void)directory;
    return true;
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
        // As every undo: marked in the same unit, so not to be taken back once more.
        const auto entry = UndoFiles::entryOf(undoFile);
        TakeBack::Outcome outcome;
        if (entry)
            outcome = TakeBack::takeBack(*entry);
        else
            outcome.failures.push_back("cannot read " + undoFile);
        if (outcome.done())
            Dialogs::information("Undone: the changes recorded in " + undoFile + " are back.");
        else if (!outcome.refused.empty())
            Dialogs::error(outcome.refused);
        else
            Dialogs::error(EditSafety::undoFailedText(outcome.failures, false));
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
