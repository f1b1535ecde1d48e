// The program: with a command, the command line (no window, no display needed);
// else the application titled "Quarnel", its one window, the message loop, on
// the registry the window opens by itself or the one `--prefix` names.
#include "app/QuarnelApplication.h"
#include "app/RegistrySession.h"
#include "app/StateDump.h"
#include "app/TRegForm.h"
#include "cli/CommandLine.h"
#include "cli/Session.h"
#include "prefixes/ChoosePrefix.h"
#include "prefixes/Settings.h"

#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char *argv[])
{
    std::string prefixText;
    const bool onPrefix = quarnel::cli::opensWindowOn(argc, argv, prefixText);
    if (!onPrefix && quarnel::cli::wantsCommandLine(argc, argv)) {
        const int status = quarnel::cli::run(argc, argv);
        // The registry is saved and released; taking its keys apart would only delay the end.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    quarnel::prefixes::ChosenRegistry chosen;
    if (onPrefix) {
        std::string error;
        if (!quarnel::prefixes::choosePrefix(prefixText, chosen, error)) {
            std::fprintf(stderr, "quarnel: %s\n", error.c_str());
            return quarnel::cli::kTrouble;
        }
    }
    QuarnelApplication application(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/quarnel.png").arg(size));
    QuarnelApplication::setWindowIcon(icon);
    StateDump::installFromEnvironment();
    const auto registry = onPrefix
                              ? std::make_unique<RegistrySession>(*chosen.kind, chosen.found.folder)
                              : std::make_unique<RegistrySession>();
    TRegForm RegForm; // shows the window, then the backup warning
    const bool named = onPrefix && !RegistrySession::isDefaultRegistry(chosen.found.folder);
    RegForm.SetRegistrySession(registry.get(), named ? chosen.found.name : std::string());
    if (onPrefix) {
        quarnel::prefixes::Settings settings =
            quarnel::prefixes::Settings::load(quarnel::prefixes::Settings::defaultPath());
        settings.noteOpened(chosen.found.id);
        std::string error;
        settings.save(error);
    }
    registry->showOpeningMessage();
    return application.exec();
}
