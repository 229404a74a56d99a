#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "app/InstanceServer.h"
#include "app/PeloraApp.h"
#include "common/Translations.h"
#include "composition/PeloraServices.h"
#include "platform/Bundle.h"
#include "platform/IconTheme.h"
#include "platform/linux/LinuxPlatform.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    if (const auto status = runCommandLine(argc, argv))
        return *status;

    // In a Wayland session a client cannot place its windows, keep a menu beside a button or
    // learn where it is; through XWayland it can. The user's own choice of platform wins, and
    // the choice made here is not handed on to the programs Pelora starts (Qt reads it only
    // while the application object is being built).
    const bool throughXWayland = !qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
                                 !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                                 !qEnvironmentVariableIsEmpty("DISPLAY");
    if (throughXWayland)
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication application(argc, argv);
    if (throughXWayland)
        unsetenv("QT_QPA_PLATFORM");
    QApplication::setApplicationName(QStringLiteral("Pelora"));
    // A tray program: closing its last window (an alert, the settings) must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before any controller: a second start hands over here and never shows a strip, a tray
    // icon or starts a clipboard poller of its own.
    InstanceServer server(instanceSocketPath());
    if (const auto status = claimInstance(server))
        return *status;

    Platform platform = makeLinuxPlatform();
    installTranslations(platform.bundle->preferredLocalizations());
    ensureIconTheme();
    PeloraServices services(std::move(platform));
    return runPeloraApp(services, &server);
}
