#include "app/PeloraApp.h"

#include "app/InstanceServer.h"
#include "app/PeloraCommands.h"
#include "app/PeloraInstanceCommands.h"
#include "app/PeloraStatusItemController.h"
#include "app/ShortcutsController.h"
#include "app/TerminationSignals.h"
#include "composition/PeloraServices.h"
#include "platform/linux/x11/X11SystemTray.h"
#include "platform/linux/xdg/DesktopColorScheme.h"
#include "strip/StripWindowController.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

PeloraApp::PeloraApp(PeloraServices& services)
    : appDelegate_(
          std::make_unique<PeloraAppDelegate>(services.system.bundle(), services.system.dialogs(),
                                              services.updatePreferences, services.versionCheck)) {
    // The program's only ordinary window carries the main-menu commands (a global menu where
    // the desktop has one).
    menuBarConnection_ = QObject::connect(
        &services.settings, &SettingsWindowController::settingsWindowCreated, &services.settings,
        [&services](QMainWindow* window) {
            PeloraCommands(services.system.bundle(), services.system.workspace(), services.about,
                           services.license, services.settings, services.versionCheck)
                .fillMenuBar(*window->menuBar());
        });
    stripController_ = std::make_shared<StripWindowController>(services.system, services.strip());
    QObject::connect(stripController_.get(), &StripWindowController::settingsRequested,
                     &services.settings, &SettingsWindowController::openSettingsWindow);
    // From here on the tray icon exists, whatever the installation check decides.
    // An XEmbed tray may name its icons' colour; StatusNotifierItem hosts do not, and their bar
    // follows the desktop's light or dark scheme.
    auto scheme = std::make_shared<DesktopColorScheme>();
    statusItemController_ = std::make_unique<PeloraStatusItemController>(
        services.system.defaults(), services.settings, services.about, stripController_,
        [scheme]() -> std::optional<QColor> {
            if (auto color = x11SystemTrayForegroundColor())
                return color;
            return scheme->panelTextColor();
        });
    QObject::connect(scheme.get(), &DesktopColorScheme::changed, statusItemController_.get(),
                     [item = statusItemController_.get()] { item->updateStatusButtonImage(); });
    if (!appDelegate_->isInstalled())
        return; // the installation check ends the run
    stripController_->startServices();
    if (statusItemController_->isStripVisible())
        stripController_->showStrip();
}

PeloraApp::~PeloraApp() {
    QObject::disconnect(menuBarConnection_);
}

int runPeloraApp(PeloraServices& services, InstanceServer* server) {
    PeloraApp app(services);
    if (!app.appDelegate().applicationWillFinishLaunching())
        return 0;

    // A session that ends, or a `kill`, quits like the Quit command: the strip's place is
    // stored and the defaults written.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested,
                     &app.statusItemController(), &PeloraStatusItemController::quit);
    PeloraInstanceCommands commands(services.system.defaults(), services.versionCheck,
                                    *app.stripController(), app.statusItemController());
    ShortcutsController shortcuts(services.system.defaults(), services.system.globalShortcuts(),
                                  *app.stripController());
    if (server)
        server->setCommands(&commands);
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [&app] { app.appDelegate().applicationDidFinishLaunching(); });
    const int status = QCoreApplication::exec();
    if (server)
        server->setCommands(nullptr);
    return status;
}
