#pragma once

#include "common/NotificationCenter.h"
#include "history/RecentAppItem.h"
#include "history/RecentDocumentGroup.h"
#include "history/RecentFolderItem.h"
#include "platform/Screens.h"
#include "platform/UserDefaults.h"
#include "strip/OpenTargetKind.h"
#include "strip/StripModule.h"
#include "strip/StripPanel.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class FavoritesEditWindowCoordinator;
class QAction;
class QMenu;
class Services;
class StripContentView;

// The strip's frame in bottom-left screen coordinates, "{{x, y}, {w, h}}". Only the origin is
// used when restoring; the size comes from the content.
extern const DefaultsKey<QString> stripWindowFrameKey;

// Owns the strip: starts the services behind its menus, creates and places its window, keeps
// its place across runs, shows and hides it. One per process; main thread.
class StripWindowController : public QObject {
    Q_OBJECT
public:
    // Cheap: creates no window and starts no service.
    explicit StripWindowController(Services& services, QObject* parent = nullptr);
    ~StripWindowController() override;

    // Starts the services that feed the menus; each tolerates being started again.
    void startServices();
    // Starts the services, then brings the strip window to the front, creating it if needed.
    void showStrip();
    // Saves the frame, then closes and forgets the window.
    void hideStrip();
    // Stores the window's current frame; nothing without a window.
    void saveStripFrame();

    // Where a new window of this size goes: the stored origin kept inside the best screen,
    // else 12 points in from the right edge of the main screen's visible area, centred.
    QRectF initialStripFrame(const QSizeF& panelSize) const;
    // The screen whose visible area overlaps the rectangle most; the earlier one on a tie.
    std::optional<ScreenInfo> screenBestContaining(const QRectF& rect) const;
    // The window system's constraint: the whole frame inside the screen's visible area.
    static QRectF constrainFrameRect(const QRectF& frame, const ScreenInfo& screen);

    // The strip window while it is shown.
    StripPanel* window() const { return window_; }
    StripContentView* contentView() const;
    // The window's frame in the program's coordinates; empty without a window.
    std::optional<QRectF> stripFrame() const;

    // Opens the module's menu beside its button. Reached from a press, as a later task.
    virtual void presentModuleMenu(StripModule module);
    // A new menu for the module from the services' current lists, refreshing its cache; an
    // empty menu for a module without one. The caller owns it.
    std::unique_ptr<QMenu> menuForModule(StripModule module);
    // Pops the menu up beside the module's button (at the screen's corner without a strip or
    // button) and lets it go once it closes.
    void showModuleMenu(std::unique_ptr<QMenu> menu, StripModule module);
    // Where showModuleMenu puts the menu's top-left corner, in bottom-left coordinates.
    QPointF moduleMenuLocation(StripModule module) const;
    std::unique_ptr<QMenu> makeRecentDocumentsMenu(const QList<RecentDocumentGroup>& groups);
    std::unique_ptr<QMenu> makeRecentFoldersMenu(const QList<RecentFolderItem>& folders);

    // The actions behind the documents and folders menus; each reads its target from the
    // chosen item, as it was when the menu was built.
    void openRecentDocument(QAction* sender);
    void openRecentFolder(QAction* sender);
    void openFavorite(QAction* sender);
    void openFolder(QAction* sender);
    void clearRecents(QAction* sender);
    void clearRecentFolders(QAction* sender);
    void editFavorites(QAction* sender);
    void editFolderFavorites(QAction* sender);

    // Opens a recent item through a stored access grant, storing one or asking the user for
    // one when needed.
    void openRecentTarget(const QUrl& url, OpenTargetKind kind);
    // Opens url with its default handler inside scoped access on grant and records the open
    // in the kind's history, whether or not the handler could be started.
    void openWithGrant(const QUrl& url, const QUrl& grant, OpenTargetKind kind);
    // Opens a favorite (no grant is looked up) or launches a favorite application.
    void openFavoriteTarget(const QUrl& url, OpenTargetKind kind);
    // Asks the user, in an open panel, for the folder that holds the item (a document) or the
    // item itself (a folder); opens it when the choice covers it.
    void requestFolderAccess(const QUrl& url, OpenTargetKind kind);
    void showWrongSelectionAlert(const QUrl& url);
    // Opens an application bundle as an application, bringing it to the front.
    void launchApplicationAt(const QUrl& url);
    // Opens the favorites editor, closing the one already open.
    virtual void openFavoritesEditor();
    // Adds dropped files to the favorites of their own kind, whichever button took them.
    void addDroppedFavorites(StripModule module, const QList<QUrl>& urls);

    // What the strip's settings button opens, once the application provides it.
    void setOpenSettingsAction(std::function<void()> action) {
        openSettingsAction_ = std::move(action);
    }

    Services& services() const { return services_; }

    // The document groups the documents menu showed last, refreshed after each gathering.
    QList<RecentDocumentGroup> recentGroups;
    // The folders the folders menu showed last.
    QList<RecentFolderItem> recentFolders;
    // The recent applications the applications menu showed last.
    QList<RecentAppItem> recentApps;

    // Applications ("Apps"): recent applications, then favorites; the entries launch.
    std::unique_ptr<QMenu> makeApplicationsMenu(const QList<RecentAppItem>& items);
    // Running applications ("Windows"), the last activated on top, and hide-all.
    std::unique_ptr<QMenu> makeOpenAppsMenu();
    // The clipboard history ("Clipboard"), one submenu per source application.
    std::unique_ptr<QMenu> makeClipboardMenu();

    // Menu actions; each gets the chosen item.
    void launchApplication(QAction* sender);
    void clearRecentApps(QAction* sender);
    void editAppFavorites(QAction* sender);
    void activateApp(QAction* sender);
    void hideAllApps(QAction* sender);
    void pasteClipboardItem(QAction* sender);
    void clearClipboardHistory(QAction* sender);

    // The open favorites editor; it releases itself when its window closes.
    QPointer<FavoritesEditWindowCoordinator> favoritesEditWindowCoordinator;

private:
    // The applications row of menuForModule: starts the history, refreshes recentApps.
    std::unique_ptr<QMenu> menuForApplications();

    void startApplicationActivationHistory();
    void startClipboardHistory();
    void startRecentFolders();
    void startRecentDocuments();
    void observeRecentDocuments();

    void accessPanelDidEnd(const std::optional<QList<QUrl>>& chosen, const QUrl& url,
                           OpenTargetKind kind);

    void openSettingsFromStrip();
    void stripWindowDidMove();
    void stripContentDidResize();

    Services& services_;
    QPointer<StripPanel> window_;
    QMetaObject::Connection stripWindowDidMoveObserver_;
    QMetaObject::Connection stripContentDidResizeObserver_;
    // While the controller itself gives the window a frame.
    bool placingWindow_ = false;
    QMetaObject::Connection willTerminateObserver_;
    std::optional<NotificationCenter::Token> recentDocumentsObserver_;
    std::function<void()> openSettingsAction_;
};
