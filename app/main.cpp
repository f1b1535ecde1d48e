// The program: the application titled "Quarnel", its one window, the message loop.
#include "QuarnelApplication.h"
#include "RegistryStore.h"
#include "TRegForm.h"

int main(int argc, char *argv[])
{
    QuarnelApplication application(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    RegistrySession registry;
    TRegForm RegForm; // shows the window, then the backup warning
    registry.showOpeningMessage();
    return application.exec();
}
