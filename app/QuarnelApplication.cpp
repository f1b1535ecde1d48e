#include "app/QuarnelApplication.h"

#include "app/Dialogs.h"

#include <exception>

QuarnelApplication::QuarnelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool QuarnelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        Dialogs::errorDisplay(error.what());
    } catch (...) {
        // Not one of ours, but ending the program here would lose the user's session.
        Dialogs::errorDisplay("Unknown error");
    }
    return false;
}
