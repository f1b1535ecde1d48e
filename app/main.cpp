// The program: with a command, the command line (no window, no display needed);
// else the application titled "Quarnel", its one window, the message loop.
#include "app/QuarnelApplication.h"
#include "app/RegistrySession.h"
#include "app/StateDump.h"
#include "app/TRegForm.h"
#include "cli/CommandLine.h"
#include "cli/Session.h"

#include <QIcon>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (quarnel::cli::wantsCommandLine(argc, argv)) {
        const int status = quarnel::cli::run(argc, argv);
        // The registry is saved and released; taking its keys apart would only delay the end.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    QuarnelApplication application(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/quarnel.png").arg(size));
    QuarnelApplication::setWindowIcon(icon);
    StateDump::installFromEnvironment();
    RegistrySession registry;
    TRegForm RegForm; // shows the window, then the backup warning
    registry.showOpeningMessage();
    return application.exec();
}
