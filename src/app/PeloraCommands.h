#pragma once

#include <QString>

class AboutWindowKeeper;
class Bundle;
class LicenseWindowKeeper;
class QAction;
class QMenuBar;
class SettingsWindowController;
class VersionCheckService;
class Workspace;

// The main menu of the settings window: the application menu ("menu.about",
// "menu.checkUpdates", "menu.settings" Ctrl+, and "menu.quit") and the Help menu ("help.app"
// Ctrl+?, "help.support", "help.license", "help.site"). Every action and menu carries its text
// key as object name. The menus do not depend on this object's lifetime, only on the objects
// it is given outliving them.
class PeloraCommands {
public:
    PeloraCommands(const Bundle& bundle, Workspace& workspace, AboutWindowKeeper& about,
                   LicenseWindowKeeper& license, SettingsWindowController& settings,
                   VersionCheckService& versionCheck);

    // Appends the application menu ("menu.application") and the Help menu ("menu.help").
    void fillMenuBar(QMenuBar& bar) const;

    // Triggers the enabled action with this key in the bar's menus, as a click on it would;
    // false when there is none. Lets scripted runs go through the real menu.
    static bool trigger(QMenuBar& bar, const QString& key);

private:
    // Connects the command's action to what it does.
    void connectCommand(QAction& action, const QString& key) const;

    const Bundle& bundle_;
    Workspace& workspace_;
    AboutWindowKeeper& about_;
    LicenseWindowKeeper& license_;
    SettingsWindowController& settings_;
    VersionCheckService& versionCheck_;
};

// Ends the program, as every Quit command does. Not QCoreApplication::quit(): Qt 6 closes every
// window before it lets the loop end, so the strip would be gone, and its place unknown, by the
// time it is told the program ends.
void quitPelora();
