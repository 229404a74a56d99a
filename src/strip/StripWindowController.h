#pragma once

#include "strip/StripModule.h"
#include "strip/StripPanel.h"
#include "strip/StripPlacement.h"
#include "strip/StripServices.h"

#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QUrl>
#include <memory>

class ApplicationsMenus;
class ClipboardMenu;
class DocumentsAndFoldersMenus;
class FavoritesEditWindowCoordinator;
class MenuEntryOpener;

class Services;
class StripContentView;

// Owns the strip: starts the services behind its menus, creates its window and hands it to the
// placement, shows and hides it, and pops up the modules' menus beside their buttons. One per
// process; main thread.
class StripWindowController : public QObject {
    Q_OBJECT
public:
    // Cheap: creates no window and starts no service.
    StripWindowController(Services& services, StripServices menus, QObject* parent = nullptr);
    ~StripWindowController() override;

    // Starts the services that feed the menus; each tolerates being started again. The
    // recent-files index is first read this long after the first start.
    void startServices();
    static constexpr int indexReadDelayMs = 1000;
    // Starts the services, then brings the strip window to the front, creating it if needed.
    void showStrip();
    // Stores the frame, then closes and forgets the window.
    void hideStrip();

    // The strip window while it is shown.
    StripPanel* window() const { return window_; }
    StripContentView* contentView() const;
    StripPlacement& placement() const { return *placement_; }

    // Opens the module's menu beside its button. Reached from a press, as a later task. A
    // module menu that is open closes first: menus never stack.
    void presentModuleMenu(StripModule module);
    // What a command or a keyboard shortcut asks for: the module's menu beside its button, or
    // at the pointer while the strip is hidden. With toggle, the module's own open menu closes
    // instead.
    void popUpModuleMenu(StripModule module, bool toggle);
    // The module menu that is open now, if any.
    QMenu* openModuleMenu() const { return openMenu_; }
    // A new menu for the module from the services' current lists; an empty menu for a module
    // without one. The caller owns it.
    std::unique_ptr<QMenu> menuForModule(StripModule module);
    // Where presentModuleMenu puts the menu's top-left corner.
    QPointF moduleMenuLocation(StripModule module) const;

    // Adds dropped files to the favorites of their own kind, whichever button took them.
    void addDroppedFavorites(StripModule module, const QList<QUrl>& urls);

    // Opens the favorites editor, closing the one already open.
    void openFavoritesEditor();

Q_SIGNALS:
    // The strip's settings button was pressed.
    void settingsRequested();

private:
    // Pops the menu up beside the module's button (at the screen's corner without a strip or
    // button) and lets it go once it closes.
    void showModuleMenu(std::unique_ptr<QMenu> menu, StripModule module);
    // Shows a module's menu at a position, as the one open module menu.
    void showOpenMenu(std::unique_ptr<QMenu> menu, StripModule module, const QPoint& position,
                      QWidget* owner);
    void popUpOpenMenu(std::unique_ptr<QMenu> menu, StripModule module, const QPoint& position,
                       QWidget* owner);
    // Whether a shown menu was closed.
    bool closeOpenMenu();
    void openSettingsFromStrip();

    Services& services_;
    StripServices menus_;
    // Declared first, so it outlives the menus whose entries reach it.
    std::unique_ptr<MenuEntryOpener> opener_;
    std::unique_ptr<StripPlacement> placement_;
    std::unique_ptr<DocumentsAndFoldersMenus> documentsAndFolders_;
    std::unique_ptr<ApplicationsMenus> applications_;
    std::unique_ptr<ClipboardMenu> clipboard_;
    QPointer<StripPanel> window_;
    bool indexReadScheduled_ = false;
    // The open favorites editor; it releases itself when its window closes.
    QPointer<FavoritesEditWindowCoordinator> favoritesEditor_;
    // Where the editor's open panel starts, for as long as the program runs.
    QString favoritesPanelFolder_;
    QPointer<QMenu> openMenu_;
    StripModule openModule_ = StripModule::documents;
    quint64 menuRequest_ = 0;
    // The module menu closing to make way for another.
    QPointer<QMenu> menuClosing_;
};
