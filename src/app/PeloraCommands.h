#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QMenuBar;
class Services;

// What the main-menu commands reach outside the menu. An empty handler leaves its command
// disabled, except About and Quit, which have defaults.
struct PeloraCommandHandlers {
    std::function<void()> showAbout; // default: showAboutWindow(services)
    // Called with true: the user asked, so every outcome is reported.
    std::function<void(bool userInitiated)> checkForUpdates;
    std::function<void()> openSettings;
    std::function<void()> quit; // default: QCoreApplication::quit()
};

// The main menu of the settings window: the application menu ("menu.about",
// "menu.checkUpdates", "menu.settings" Ctrl+, and "menu.quit") and the Help menu ("help.app"
// Ctrl+?, "help.support", "help.license", "help.site"). Every action and menu carries its text
// key as object name. Holds no state beyond the handlers; the menus do not depend on this
// object's lifetime, only on the Services outliving them.
class PeloraCommands {
public:
    explicit PeloraCommands(Services& services, PeloraCommandHandlers handlers = {});

    // Appends the application menu ("menu.application") and the Help menu ("menu.help").
    void fillMenuBar(QMenuBar& bar) const;

    // Runs the command with this text key as if it were chosen; false when the key is unknown
    // or the command has no handler.
    bool perform(const QString& key) const;

    // The keys of every command, in menu order.
    static QStringList commandKeys();

    // Triggers the enabled action with this key in the bar's menus, as a click on it would;
    // false when there is none. Lets scripted runs go through the real menu.
    static bool trigger(QMenuBar& bar, const QString& key);

private:
    std::function<void()> commandFor(const QString& key) const;

    Services* services_;
    std::shared_ptr<const PeloraCommandHandlers> handlers_;
};
