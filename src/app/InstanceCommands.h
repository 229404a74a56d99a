#pragma once

#include "strip/StripModule.h"

#include <memory>

class QMenu;

// What the running instance does for a request from another start of the program. Implemented
// over the strip and status-bar controllers; called on the main thread, after the request was
// checked (a module given here always has a button).
class InstanceCommands {
public:
    virtual ~InstanceCommands() = default;

    // A plain second start, without a command.
    virtual void activate() = 0;
    // Pops up the module's menu at its strip button, or at the pointer while the strip is
    // hidden, as a press would; an open module menu closes first. With toggle, the module's
    // own open menu closes instead. Must not wait for the menu to close.
    virtual void popup(StripModule module, bool toggle) = 0;
    // The menu a press would show now, built but not shown; null when there is none.
    virtual std::unique_ptr<QMenu> menu(StripModule module) = 0;

    virtual bool isStripVisible() const = 0;
    // As the General tab's switch does: writes the preference and posts its notification.
    virtual void setStripVisible(bool visible) = 0;

    virtual void showSettings() = 0;
    virtual void showAbout() = 0;
    // A user-initiated check, with its outcome shown.
    virtual void checkForUpdates() = 0;
    virtual void quit() = 0;
};
