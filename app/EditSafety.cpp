#include "app/EditSafety.h"

#include "app/Dialogs.h"
#include "registry/undo/UndoCapture.h"

#include <exception>

bool EditSafety::refusesChanges()
{
    const std::string reason = refusalText(SafetyNet::refusal());
    if (reason.empty()) return false;
    Dialogs::error(reason);
    return true;
}

std::string EditSafety::failedText(const std::string &text)
{
    return SafetyNet::causeFirst(whyRefused(), text, "\n\r");
}

std::string EditSafety::whyRefused()
{
    return refusalText(SafetyNet::refusalFromNowOn());
}

std::string EditSafety::refusalText(const quarnel::platform::RegistryRefusal &refusal)
{
    using Kind = quarnel::platform::RegistryRefusal::Kind;
    const std::string &folder = refusal.directory;
    const std::string process = std::to_string(refusal.holder);
    switch (refusal.kind) {
    case Kind::None: return {};
    case Kind::Other: return refusal.detail;
    case Kind::NotLocked:
        return "Quarnel cannot lock the registry in " + folder + " (" + refusal.detail +
               "). It is shown read-only.";
    case Kind::WineRunning: {
        if (refusal.holderEnded)
            return "Wine was running on the prefix " + folder +
                   " when Quarnel opened it, and it has ended since. To change the registry, "
                   "choose it again (Registry\xE2\x80\xA6).";
        const std::string env = refusal.wineTemp.empty() ? "" : "TMPDIR=" + refusal.wineTemp + " ";
        return "Wine is running on the prefix " + folder + " (wineserver, process " + process +
               "). Quarnel shows this registry read-only, because Wine would overwrite any change "
               "made now. To change it, close the Windows programs of this prefix or stop Wine "
               "with \"" +
               env + "WINEPREFIX=" + folder + " wineserver -k\" (or end process " + process +
               "), then start Quarnel again.";
    }
    case Kind::InUse: {
        const std::string holder = "(process " + process +
                                   (refusal.holderName.empty() ? "" : ", " + refusal.holderName) +
                                   ")";
        if (refusal.holderEnded)
            return "The registry in " + folder + " was in use by another program " + holder +
                   " when Quarnel opened it, and that program has ended since. To change the "
                   "registry, choose it again (Registry\xE2\x80\xA6).";
        return "The registry in " + folder + " is in use by another program " + holder +
               ", perhaps another Quarnel. It is shown read-only; close that program and start "
               "Quarnel again to make changes.";
    }
    }
    return {};
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
    const std::string reason = whyRefused();
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
