#pragma once

#include <QString>
#include <functional>

class Services;
class PeloraServices;

// Refuses to run from outside an Applications folder; starts the silent update check.
class PeloraAppDelegate {
public:
    // terminate ends the application; it is called at most once, from the installation check.
    PeloraAppDelegate(PeloraServices& services, std::function<void()> terminate);

    // Before the event loop starts.
    void applicationWillFinishLaunching();
    // On the event loop's first turn.
    void applicationDidFinishLaunching();

private:
    PeloraServices& services_;
    std::function<void()> terminate_;
};

// Whether the bundle lies in "/Applications/" or in the home folder's "Applications/": a plain,
// case-sensitive prefix test; symbolic links are not resolved.
bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath);
// The test for this process's bundle and home, as given and then both with links resolved.
bool isInApplicationsFolder(const Services& services);

// The blocking critical alert of a bundle outside the Applications folders.
void showMustBeInApplicationsFolderAlert(Services& services);
