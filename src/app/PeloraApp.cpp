#include "app/PeloraApp.h"

#include "common/Services.h"
#include "common/StripVisibility.h"
#include "strip/StripWindowController.h"

#include <QCoreApplication>
#include <QTimer>

PeloraApp::PeloraApp(Services& services, std::function<void()> terminate)
    : appDelegate_(std::make_unique<PeloraAppDelegate>(services, std::move(terminate))),
      stripController_(std::make_shared<StripWindowController>(services)) {
    // The status-bar controller is created next, with the strip controller, so that the tray
    // item exists whatever the installation check decides.
    if (!isInApplicationsFolder(services))
        return; // the delegate quits
    stripController_->startServices();
    if (isStripVisible(services.defaults()))
        stripController_->showStrip();
}

PeloraApp::~PeloraApp() = default;

int runPeloraApp(Services& services) {
    bool terminated = false;
    PeloraApp app(services, [&terminated] {
        terminated = true;
        // Quitting before the loop runs does nothing; the flag covers that case.
        QCoreApplication::quit();
    });
    app.appDelegate().applicationWillFinishLaunching();
    if (terminated)
        return 0;
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [&app] { app.appDelegate().applicationDidFinishLaunching(); });
    return QCoreApplication::exec();
}
