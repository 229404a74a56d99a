#include "app/PeloraInstanceCommands.h"

#include "app/PeloraServices.h"
#include "app/PeloraStatusItemController.h"
#include "common/MenuPopup.h"
#include "common/StripVisibility.h"
#include "strip/StripPanel.h"
#include "strip/StripWindowController.h"

#include <QCursor>
#include <QMenu>

PeloraInstanceCommands::PeloraInstanceCommands(PeloraServices& services,
                                               StripWindowController& strip,
                                               PeloraStatusItemController& statusItem)
    : services_(services), strip_(strip), statusItem_(statusItem) {}

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
    stripVisibleKey.write(services_.platform().defaults(), visible);
}

void PeloraInstanceCommands::showSettings() {
    statusItem_.showSettings();
}

void PeloraInstanceCommands::showAbout() {
    statusItem_.showAbout();
}

void PeloraInstanceCommands::checkForUpdates() {
    services_.versionCheck().checkForUpdates(true);
}

void PeloraInstanceCommands::quit() {
    statusItem_.quit();
}
