#include "app/EditSafety.h"

#include "app/Dialogs.h"
#include "registry/UndoCapture.h"

#include <exception>

bool EditSafety::refusesChanges()
{
    const std::string reason = SafetyNet::refusalReason();
    if (reason.empty()) return false;
    Dialogs::error(reason);
    return true;
}

std::string EditSafety::failedText(const std::string &text)
{
    return SafetyNet::causeFirst(text, "\n\r");
}

std::string EditSafety::undoFailedText(const std::vector<std::string> &failures, bool retryHint)
{
    return failedText(Dialogs::listText(retryHint ? "The undo failed, so nothing was undone; "
                                                    "Ctrl+Z tries it again:"
                                                  : "The undo failed, so nothing was undone:",
                                        failures));
}

bool EditSafety::refusesFromNowOn()
{
    const std::string reason = SafetyNet::refusalFromNowOn();
    if (!reason.empty()) Dialogs::error(reason);
    return !reason.empty();
}

EditSafety::EditSafety(UndoHistory &history, std::string kind, std::string cutShort)
    : m_history(history), m_net(std::move(kind), cutShort), m_cutShort(std::move(cutShort)),
      m_uncaught(std::uncaught_exceptions())
{
}

EditSafety::~EditSafety()
{
    // An error that ends the edit may come after some of its changes; they can
    // be taken back like a whole edit.
    if (!m_finished && !m_net.undoFile().empty() && std::uncaught_exceptions() > m_uncaught)
        m_history.add(m_net.undoFile(), m_cutShort);
}

bool EditSafety::prepare(const std::function<void(UndoCapture &)> &capture)
{
    if (const std::string failed = m_net.prepare(capture); !failed.empty()) {
        Dialogs::error(failed);
        return false;
    }
    return true;
}

void EditSafety::finish(bool changed, const std::string &description)
{
    m_finished = true;
    m_net.finish(changed, description);
    if (changed && !m_net.undoFile().empty()) m_history.add(m_net.undoFile(), description);
}
