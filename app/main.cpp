// The program: the application titled "Quarnel", its one window, the message loop.
#include "QuarnelApplication.h"
#include "RegistryStore.h"
#include "TRegForm.h"

int main(int argc, char *argv[])
{
    QuarnelApplication application(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    SelectRegistryStore();
    TRegForm RegForm;
    return application.exec();
}
