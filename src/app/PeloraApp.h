#pragma once

#include "app/PeloraAppDelegate.h"

#include <QMetaObject>
#include <memory>

class InstanceServer;
class PeloraStatusItemController;
struct PeloraServices;
class StripWindowController;

// The application: gives the settings window its main menu, creates the strip and, beside it,
// the status-bar item and, when installed properly, starts the services and shows the strip.
// Lives for the whole process, within the services it is given.
class PeloraApp {
public:
    explicit PeloraApp(PeloraServices& services);
    ~PeloraApp();

    PeloraAppDelegate& appDelegate() { return *appDelegate_; }
    const std::shared_ptr<StripWindowController>& stripController() const {
        return stripController_;
    }
    PeloraStatusItemController& statusItemController() const { return *statusItemController_; }

private:
    std::unique_ptr<PeloraAppDelegate> appDelegate_;
    QMetaObject::Connection menuBarConnection_;
    std::shared_ptr<StripWindowController> stripController_;
    std::unique_ptr<PeloraStatusItemController> statusItemController_;
};

// The whole run: constructs the application, checks the installation before the event loop
// starts, reports the first turn of the loop, and runs it until the application quits.
// With a server that holds the instance socket, requests from other starts are answered
// while the program runs. Returns the exit code.
int runPeloraApp(PeloraServices& services, InstanceServer* server = nullptr);
