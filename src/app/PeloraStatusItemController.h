#pragma once

#include "app/TemplateIcon.h"
#include "strip/StripModule.h"

#include <QColor>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AboutWindowKeeper;
class QMenu;
class QSystemTrayIcon;
class SettingsWindowController;
class StripWindowController;
class UserDefaults;

// The program's icon in the system tray and its menu: the strip's five module menus as
// submenus (so every module is reachable while the strip is hidden), the settings window, the
// About window and quitting. It also carries out every write of the strip's visibility preference.
// One per process, created at start-up; main thread.
//
// The tray is the desktop's: Qt speaks the StatusNotifierItem protocol where a watcher runs
// and embeds an XEmbed icon otherwise. Without any tray the icon waits unseen and shows up
// when a tray host appears; the strip's settings button stays the way in meanwhile.
class PeloraStatusItemController : public QObject {
    Q_OBJECT
public:
    using ColorSource = std::function<std::optional<QColor>()>;

    // panelTextColor: the colour the tray asks icons to use, when it says; otherwise the
    // icon takes the palette's text colour, outlined to show on any bar.
    PeloraStatusItemController(UserDefaults& defaults, SettingsWindowController& settings,
                               AboutWindowKeeper& about,
                               std::shared_ptr<StripWindowController> stripController,
                               ColorSource panelTextColor = {}, QObject* parent = nullptr);
    ~PeloraStatusItemController() override;

    const std::shared_ptr<StripWindowController>& stripController() const {
        return stripController_;
    }
    QSystemTrayIcon& statusItem() const { return *statusItem_; }
    // Empty until it is about to open; rebuilt from scratch on every opening.
    QMenu& menu() const { return *menu_; }

    // Absent means shown.
    bool isStripVisible() const;

    // The menu is about to open.
    void menuNeedsUpdate();
    // The visibility preference changed: show or hide the strip to match it.
    void stripVisibilityDidChange();

    void showSettings();
    void showAbout();
    void quit();

    // The colour the glyph is drawn in now.
    TemplateInk templateImageInk() const;
    // The colour source's answer changed: the tray gets the icon again.
    void updateStatusButtonImage() { configureStatusButtonImage(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureStatusButtonImage();
    void addModuleEntry(const char* titleKey, const char* symbol, StripModule module);

    UserDefaults& defaults_;
    SettingsWindowController& settings_;
    AboutWindowKeeper& about_;
    std::shared_ptr<StripWindowController> stripController_;
    ColorSource panelTextColor_;
    QSystemTrayIcon* statusItem_;
    std::unique_ptr<QMenu> menu_;
    // The module menus of the current opening; the entries do not own them.
    std::vector<std::unique_ptr<QMenu>> submenus_;
};
