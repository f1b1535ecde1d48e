// Which registry the program works on: the registry files of a Wine prefix
// (WINEPREFIX, else ~/.wine, else Quarnel's own), kept on disk while the window runs.
#pragma once

#include <QObject>
#include <string>
#include <vector>

class QTimer;

class RegistrySession : public QObject
{
    Q_OBJECT

public:
    // Opens the registry and makes it what the registry calls work on.
    RegistrySession();
    // Saves what is left and lets Wine have the prefix again.
    ~RegistrySession() override;

    // What the user must know about the opening (Wine running, a damaged file,
    // changes recovered); shown once the window is up. Empty when all is well.
    void showOpeningMessage();

private:
    void saveIfIdle();
    // Undos the last run was ended in the middle of: each is offered again.
    void offerCutShortUndos();

    std::string m_message;
    std::vector<std::string> m_undosCutShort;
    bool m_failed = false;
    QTimer *m_idleSaver = nullptr;
};
