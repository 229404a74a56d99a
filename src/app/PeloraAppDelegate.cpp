#include "app/PeloraAppDelegate.h"

#include "common/Texts.h"
#include "platform/Bundle.h"
#include "platform/Dialogs.h"
#include "settings/VersionCheckService.h"

#include <QDir>
#include <QFileInfo>

bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath) {
    if (bundlePath.startsWith(QStringLiteral("/Applications/")))
        return true;
    const QString userApplications = homePath +
                                     (homePath.endsWith(u'/') ? QString() : QStringLiteral("/")) +
                                     QStringLiteral("Applications/");
    return bundlePath.startsWith(userApplications);
}

bool isInApplicationsFolder(const Bundle& bundle) {
    // The bundle path may come with its links resolved (/proc/self/exe) while $HOME may be a
    // link (automount, /home moved elsewhere): compare each as given, then both resolved.
    const auto resolved = [](const QString& path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? path : canonical;
    };
    const QString path = bundle.bundlePath();
    const QString home = QDir::homePath();
    return isInApplicationsFolder(path, home) ||
           isInApplicationsFolder(resolved(path), resolved(home));
}

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
