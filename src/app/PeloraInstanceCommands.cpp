#include "app/PeloraInstanceCommands.h"

#include "app/PeloraStatusItemController.h"
#include "common/MenuPopup.h"
#include "common/StripVisibility.h"
#include "settings/VersionCheckService.h"
#include "strip/StripPanel.h"
#include "strip/StripWindowController.h"

#include <QCursor>
#include <QMenu>

PeloraInstanceCommands::PeloraInstanceCommands(UserDefaults& defaults,
                                               VersionCheckService& versionCheck,
                                               StripWindowController& strip,
                                               PeloraStatusItemController& statusItem)
    : defaults_(defaults), versionCheck_(versionCheck), strip_(strip), statusItem_(statusItem) {}

void PeloraInstanceCommands::activate() {
    if (statusItem_.isStripVisible())
        strip_.showStrip();
    else
        statusItem_.showSettings();
}

void PeloraInstanceCommands::popup(StripModule module, bool toggle) {
    strip_.popUpModuleMenu(module, toggle);
}

std::unique_ptr<QMenu> PeloraInstanceCommands::menu(StripModule module) {
    return strip_.menuForModule(module);
}

bool PeloraInstanceCommands::isStripVisible() const {
    return statusItem_.isStripVisible();
}

void PeloraInstanceCommands::setStripVisible(bool visible) {
    // The status-bar item follows the stored value.
    stripVisibleKey.write(defaults_, visible);
}

void PeloraInstanceCommands::showSettings() {
    statusItem_.showSettings();
}

void PeloraInstanceCommands::showAbout() {
    statusItem_.showAbout();
}

void PeloraInstanceCommands::checkForUpdates() {
    versionCheck_.checkForUpdates(true);
}

void PeloraInstanceCommands::quit() {
    statusItem_.quit();
}
