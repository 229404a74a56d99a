#include "app/PeloraAppDelegate.h"

#include "common/Services.h"
#include "common/Texts.h"
#include "platform/Bundle.h"
#include "platform/Dialogs.h"
#include "settings/VersionCheckService.h"

#include <QDir>

bool isInApplicationsFolder(const QString& bundlePath, const QString& homePath) {
    if (bundlePath.startsWith(QStringLiteral("/Applications/")))
        return true;
    const QString userApplications = homePath +
                                     (homePath.endsWith(u'/') ? QString() : QStringLiteral("/")) +
                                     QStringLiteral("Applications/");
    return bundlePath.startsWith(userApplications);
}

bool isInApplicationsFolder(const Services& services) {
    return isInApplicationsFolder(services.bundle().bundlePath(), QDir::homePath());
}

void showMustBeInApplicationsFolderAlert(Services& services) {
    AlertSpec alert;
    alert.style = AlertStyle::critical;
    alert.messageText = L("alertMustBeInApplicationsFolderTitle");
    alert.informativeText = L("alertMustBeInApplicationsFolderMessage");
    alert.buttons = {L("buttonQuit")};
    // Whichever way it ends, the application quits.
    services.dialogs().runAlert(alert);
}

PeloraAppDelegate::PeloraAppDelegate(Services& services, std::function<void()> terminate)
    : services_(services), terminate_(std::move(terminate)) {}

void PeloraAppDelegate::applicationWillFinishLaunching() {
    if (isInApplicationsFolder(services_))
        return;
    showMustBeInApplicationsFolderAlert(services_);
    if (terminate_)
        terminate_();
}

void PeloraAppDelegate::applicationDidFinishLaunching() {
    // Silent: only a newer version shows anything.
    checkForUpdatesAtLaunch(services_);
}
