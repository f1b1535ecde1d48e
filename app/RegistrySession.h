// Which registry the program works on: by default the registry files of a Wine
// prefix (WINEPREFIX, else ~/.wine, else Quarnel's own), else the one chosen,
// of any kind; kept on disk while the window runs.
#pragma once

#include <QObject>
#include <string>
#include <vector>

class QTimer;
namespace quarnel::platform {
struct RegistryOpened;
class SourceKind;
} // namespace quarnel::platform

class RegistrySession : public QObject
{
    Q_OBJECT

public:
    // Opens the registry and makes it what the registry calls work on.
    RegistrySession();
    // The same for the registry of `kind` in `directory`.
    RegistrySession(const quarnel::platform::SourceKind &kind, const std::string &directory);
    // Saves what is left and lets Wine have the prefix again.
    ~RegistrySession() override;

    // What the user must know about the opening (Wine running, a damaged file,
    // changes recovered); shown once the window is up. Empty when all is well.
    void showOpeningMessage();

    // Saves and releases the registry as a close does (a message box says what
    // failed), then opens the one in `directory` as the start would. When that
    // one cannot be opened at all, says why and opens the one before again;
    // false then.
    bool switchTo(const quarnel::platform::SourceKind &kind, const std::string &directory);
    const std::string &directory() const { return m_directory; }
    // Whether `directory` is the registry the window opens by itself.
    static bool isDefaultRegistry(const std::string &directory);
    // What an opening has to tell, with why the registry takes no changes first,
    // in the window's words.
    static std::string openingMessage(const quarnel::platform::RegistryOpened &opened);

private:
    // Without a kind: the registry chosen by default.
    void open(const quarnel::platform::SourceKind *kind, const std::string &directory);
    void saveIfIdle();
    // Undos the last run was ended in the middle of: each is offered again.
    void offerCutShortUndos();

    std::string m_directory;
    const quarnel::platform::SourceKind *m_kind = nullptr;
    std::string m_message;
    std::vector<std::string> m_undosCutShort;
    bool m_failed = false;     // not writable: its message is an error
    bool m_openFailed = false; // no registry at all
    QTimer *m_idleSaver = nullptr;
};
