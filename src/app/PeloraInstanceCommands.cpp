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

void PeloraInstanceCommands::popup(StripModule module) {
    if (strip_.window() && strip_.window()->isVisible()) {
        strip_.presentModuleMenu(module);
        return;
    }
    // No button to open it beside: where the user's attention is.
    QMenu* menu = strip_.menuForModule(module).release();
    if (!menu)
        return;
    // Deleted once closed; a chosen entry's action has run by then.
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    // An empty menu does not open, so it never closes either.
    if (!popUpMenu(*menu, QCursor::pos()))
        menu->deleteLater();
}

std::unique_ptr<QMenu> PeloraInstanceCommands::menu(StripModule module) {
    return strip_.menuForModule(module);
}

bool PeloraInstanceCommands::isStripVisible() const {
    return statusItem_.isStripVisible();
}

void PeloraInstanceCommands::setStripVisible(bool visible) {
    stripVisibleKey.write(services_.platform().defaults(), visible);
    services_.platform().notifications().post(stripVisibilityDidChangeNotification);
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
