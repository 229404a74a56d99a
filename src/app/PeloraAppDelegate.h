#pragma once

#include <QString>

class Bundle;
class Dialogs;
class PeloraUpdatePreferences;
class VersionCheckService;

// Refuses to run from outside an Applications folder; starts the silent update check.
class PeloraAppDelegate {
public:
    // Checks where the program is installed, once.
    PeloraAppDelegate(const Bundle& bundle, Dialogs& dialogs,
                      PeloraUpdatePreferences& updatePreferences,
                      VersionCheckService& versionCheck);

    // Whether it lies in an Applications folder, where it may run.
    bool isInstalled() const { return installed_; }

    // Before the event loop starts. False when the program must end: it is not installed where
    // it belongs, which an alert has told the user.
    bool applicationWillFinishLaunching();
    // On the event loop's first turn.
    void applicationDidFinishLaunching();

private:
    Dialogs& dialogs_;
    PeloraUpdatePreferences& updatePreferences_;
    VersionCheckService& versionCheck_;
    const bool installed_;
};

// The blocking critical alert of a bundle outside the Applications folders.
void showMustBeInApplicationsFolderAlert(Dialogs& dialogs);
