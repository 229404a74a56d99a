#pragma once

#include "app/InstanceCommands.h"

class PeloraStatusItemController;
class StripWindowController;
class UserDefaults;
class VersionCheckService;

// What the running program does for another start of it: the same effects as a press on the
// strip, the tray menu's entries and the General tab's switch.
class PeloraInstanceCommands : public InstanceCommands {
public:
    PeloraInstanceCommands(UserDefaults& defaults, VersionCheckService& versionCheck,
                           StripWindowController& strip, PeloraStatusItemController& statusItem);

    // Brings the strip to the front, or opens the settings window when the strip is hidden,
    // so that starting the program again from a launcher always shows something.
    void activate() override;
    void popup(StripModule module, bool toggle) override;
    std::unique_ptr<QMenu> menu(StripModule module) override;
    bool isStripVisible() const override;
    void setStripVisible(bool visible) override;
    void showSettings() override;
    void showAbout() override;
    void checkForUpdates() override;
    void quit() override;

private:
    UserDefaults& defaults_;
    VersionCheckService& versionCheck_;
    StripWindowController& strip_;
    PeloraStatusItemController& statusItem_;
};
