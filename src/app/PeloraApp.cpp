#include "app/PeloraApp.h"

#include "about/AboutWindow.h"
#include "app/InstanceServer.h"
#include "app/PeloraCommands.h"
#include "app/PeloraInstanceCommands.h"
#include "app/PeloraStatusItemController.h"
#include "app/TerminationSignals.h"
#include "common/Services.h"
#include "platform/linux/DesktopColorScheme.h"
#include "platform/linux/X11SystemTray.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripWindowController.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace {
// The settings window is the program's only ordinary window; its menu bar carries the
// main-menu commands (a global menu where the desktop has one). The window itself is made on
// its first opening.
void declareSettingsWindow(Services& services, std::function<void()> quit) {
    auto& settings = services.get<SettingsWindowController>();
    QObject::connect(
        &settings, &SettingsWindowController::settingsWindowCreated, &settings,
        [&services, &settings, quit](QMainWindow* window) {
            PeloraCommandHandlers handlers;
            handlers.quit = quit;
            handlers.showAbout = [&services] {
                showAboutWindow(services);
            };
            handlers.checkForUpdates = [&services](bool userInitiated) {
                services.get<VersionCheckService>().checkForUpdates(userInitiated);
            };
            handlers.openSettings = [&settings] {
                settings.openSettingsWindow();
            };
            PeloraCommands(services, std::move(handlers)).fillMenuBar(*window->menuBar());
        });
}
} // namespace

PeloraApp::PeloraApp(Services& services, std::function<void()> terminate)
    : appDelegate_(std::make_unique<PeloraAppDelegate>(services, std::move(terminate))) {
    stripController_ = std::make_shared<StripWindowController>(services);
    QObject::connect(
        stripController_.get(), &StripWindowController::settingsRequested, stripController_.get(),
        [&services] { services.get<SettingsWindowController>().openSettingsWindow(); });
    // From here on the tray icon exists, whatever the installation check decides.
    // An XEmbed tray may name its icons' colour; StatusNotifierItem hosts do not, and their bar
    // follows the desktop's light or dark scheme.
    auto scheme = std::make_shared<DesktopColorScheme>();
    statusItemController_ = std::make_unique<PeloraStatusItemController>(
        services, stripController_, [scheme]() -> std::optional<QColor> {
            if (auto color = x11SystemTrayForegroundColor())
                return color;
            return scheme->panelTextColor();
        });
    QObject::connect(scheme.get(), &DesktopColorScheme::changed, statusItemController_.get(),
                     [item = statusItemController_.get()] { item->updateStatusButtonImage(); });
    // The main menu's quit ends the program the way the tray's does.
    declareSettingsWindow(
        services, [statusItem = QPointer<PeloraStatusItemController>(statusItemController_.get())] {
            if (statusItem)
                statusItem->quit();
        });
    if (!isInApplicationsFolder(services))
        return; // the delegate quits
    stripController_->startServices();
    if (statusItemController_->isStripVisible())
        stripController_->showStrip();
}

PeloraApp::~PeloraApp() = default;

int runPeloraApp(Services& services, InstanceServer* server) {
    bool terminated = false;
    PeloraApp app(services, [&terminated] {
        terminated = true;
        // Quitting before the loop runs does nothing; the flag covers that case.
        QCoreApplication::quit();
    });
    app.appDelegate().applicationWillFinishLaunching();
    if (terminated)
        return 0;

    // A session that ends, or a `kill`, quits like the Quit command: the strip's place is
    // stored and the defaults written.
    TerminationSignals terminationSignals([&app] { app.statusItemController().quit(); });
    PeloraInstanceCommands commands(services, *app.stripController(), app.statusItemController());
    if (server)
        server->setCommands(&commands);
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [&app] { app.appDelegate().applicationDidFinishLaunching(); });
    const int status = QCoreApplication::exec();
    if (server)
        server->setCommands(nullptr);
    return status;
}
