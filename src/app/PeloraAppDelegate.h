#pragma once

#include <QString>

class PeloraServices;
class Services;

// Refuses to run from outside an Applications folder; starts the silent update check.
class PeloraAppDelegate {
public:
    explicit PeloraAppDelegate(PeloraServices& services) : services_(services) {}

    // Before the event loop starts. False when the program must end: it is not installed where
    // it belongs, which an alert has told the user.
    bool applicationWillFinishLaunching();
    // On the event loop's first turn.
    void applicationDidFinishLaunching();

private:
    PeloraServices& services_;
};

// Whether the bundle lies in "/Applications/" or in the home folder's "Applications/": a plain,
// case-sensitive prefix test; symbolic links are not resolved.
bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath);
// The test for this process's bundle and home, as given and then both with links resolved.
bool isInApplicationsFolder(const Services& services);

// The blocking critical alert of a bundle outside the Applications folders.
void showMustBeInApplicationsFolderAlert(Services& services);
