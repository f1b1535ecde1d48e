#include "app/QuarnelApplication.h"

#include "app/Dialogs.h"
#include "registry/undo/SafetyNet.h"

#include <exception>

QuarnelApplication::QuarnelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool QuarnelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        // Why the registry failed the change (a full disk) goes first into the same
        // box, rather than into a second one from the idle timer.
        const std::string notice = SafetyNet::takeNotice();
        Dialogs::errorDisplay(notice.empty() ? error.what() : notice + "\n" + error.what());
    } catch (...) {
        // Not one of ours, but ending the program here would lose the user's session.
        Dialogs::errorDisplay("Unknown error");
    }
    return false;
}
