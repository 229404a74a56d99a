#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "app/InstanceServer.h"
#include "app/PeloraApp.h"
#include "common/Services.h"
#include "common/Symbols.h"
#include "common/Translations.h"
#include "platform/Bundle.h"
#include "platform/linux/LinuxPlatform.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const auto status = runCommandLine(argc, argv))
        return *status;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelora"));
    // A tray program: closing its last window (an alert, the settings) must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before any controller: a second start hands over here and never shows a strip, a tray
    // icon or starts a clipboard poller of its own.
    InstanceServer server(instanceSocketPath());
    if (const auto status = claimInstance(server))
        return *status;

    Services services(makeLinuxPlatform());
    installTranslations(services.bundle().preferredLocalizations());
    ensureIconTheme();
    return runPeloraApp(services, &server);
}
