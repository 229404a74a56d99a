#include "app/CommandLine.h"
#include "app/InstanceProtocol.h"
#include "app/InstanceServer.h"
#include "app/PeloraApp.h"
#include "common/MenuPopup.h"
#include "common/Translations.h"
#include "composition/PeloraServices.h"
#include "platform/Bundle.h"
#include "platform/IconTheme.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtPlatformChoice.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    if (const auto status = runCommandLine(argc, argv))
        return *status;

    // In a Wayland session a client cannot place its windows, keep a menu beside a button or
    // learn where it is; through XWayland it can. The choice made here is not handed on to the
    // programs Pelora starts (Qt reads it only while the application object is being built).
    QtPlatformRequest request;
    request.environmentPlatform = qgetenv("QT_QPA_PLATFORM");
    request.wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    request.x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            request.commandLinePlatform = argv[i + 1];
    }
    const QtPlatformChoice choice = chooseQtPlatform(request, probeNativeWaylandSupport);
    const QByteArray userPlatform = request.environmentPlatform;
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform);
    QApplication application(argc, argv);
    if (!choice.platform.isEmpty()) {
        if (userPlatform.isEmpty())
            unsetenv("QT_QPA_PLATFORM");
        else
            qputenv("QT_QPA_PLATFORM", userPlatform);
    }
    if (choice.platform == "xcb" && !userPlatform.isEmpty())
        qInfo("Pelora runs through XWayland: this compositor gives a native client no "
              "clipboard (start it with -platform wayland to run natively all the same).");
    for (const QString& loss : choice.losses)
        qWarning("Pelora runs natively here: %s.", qPrintable(loss));
    QApplication::setApplicationName(QStringLiteral("Pelora"));
    watchDeviceInputForMenus();
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
