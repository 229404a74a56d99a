#include "app/PeloraAppDelegate.h"

#include "common/Texts.h"
#include "platform/ApplicationsFolders.h"
#include "platform/Dialogs.h"
#include "settings/VersionCheckService.h"

void showMustBeInApplicationsFolderAlert(Dialogs& dialogs) {
    AlertOptions alert;
    alert.style = AlertStyle::critical;
    alert.messageText = L("alertMustBeInApplicationsFolderTitle");
    alert.informativeText = L("alertMustBeInApplicationsFolderMessage");
    alert.buttons = {L("buttonQuit")};
    // Whichever way it ends, the application quits.
    dialogs.runAlert(alert);
}

PeloraAppDelegate::PeloraAppDelegate(const Bundle& bundle, Dialogs& dialogs,
                                     PeloraUpdatePreferences& updatePreferences,
                                     VersionCheckService& versionCheck)
    : dialogs_(dialogs), updatePreferences_(updatePreferences), versionCheck_(versionCheck),
      installed_(isInApplicationsFolder(bundle)) {}

bool PeloraAppDelegate::applicationWillFinishLaunching() {
    if (installed_)
        return true;
    showMustBeInApplicationsFolderAlert(dialogs_);
    return false;
}

void PeloraAppDelegate::applicationDidFinishLaunching() {
    // Silent: only a newer version shows anything.
    checkForUpdatesAtLaunch(updatePreferences_, versionCheck_);
}
