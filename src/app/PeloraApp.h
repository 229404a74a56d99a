#pragma once

#include "app/PeloraAppDelegate.h"

#include <functional>
#include <memory>

class Services;
class StripWindowController;

// The application: creates the strip (and, beside it, the status-bar item) and, when installed
// properly, starts the services and shows the strip. Lives for the whole process.
class PeloraApp {
public:
    PeloraApp(Services& services, std::function<void()> terminate);
    ~PeloraApp();

    PeloraAppDelegate& appDelegate() { return *appDelegate_; }
    const std::shared_ptr<StripWindowController>& stripController() const {
        return stripController_;
    }

private:
    std::unique_ptr<PeloraAppDelegate> appDelegate_;
    std::shared_ptr<StripWindowController> stripController_;
};

// The whole run: constructs the application, checks the installation before the event loop
// starts, reports the first turn of the loop, and runs it until the application quits.
// Returns the exit code.
int runPeloraApp(Services& services);
