#include "strip/StripWindowController.h"

#include "clipboard/ClipboardHistoryService.h"
#include "common/FileURL.h"
#include "common/MainQueue.h"
#include "common/MenuPopup.h"
#include "common/RectString.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "favorites/FavoritesService.h"
#include "history/RecentAccessService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/BookmarkService.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RunningApplications.h"
#include "platform/ScreenGeometry.h"
#include "platform/WindowDecorations.h"
#include "platform/Workspace.h"
#include "strip/FavoritesEditWindowCoordinator.h"
#include "strip/ModuleMenuItems.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "strip/StripPanel.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <algorithm>

const DefaultsKey<QString> stripWindowFrameKey{"PeloraStripWindowFrame", QString()};

namespace {
constexpr qreal defaultRightInset = 12;
}

StripWindowController::StripWindowController(Services& services, QObject* parent)
    : QObject(parent), services_(services) {}

StripWindowController::~StripWindowController() {
    if (recentDocumentsObserver_)
        services_.notifications().removeObserver(*recentDocumentsObserver_);
    delete window_.data();
}

void StripWindowController::startServices() {
    startApplicationActivationHistory();
    startClipboardHistory();
    startRecentFolders();
    startRecentDocuments();
    observeRecentDocuments();
}

// Each start tolerates a second call: at launch they run twice (once more from showStrip).
void StripWindowController::startApplicationActivationHistory() {
    services_.get<RunningApplicationsHistoryService>().start();
}

void StripWindowController::startClipboardHistory() {
    services_.get<ClipboardHistoryService>().start();
}

void StripWindowController::startRecentFolders() {
    services_.get<RecentFoldersService>().refresh();
}

void StripWindowController::startRecentDocuments() {
    auto& documents = services_.get<RecentDocumentsService>();
    // Icons for the documents the menu shows first, so its first opening has them.
    QList<PersistedRecentDocumentRecord> records = documents.loadPersistedRecords();
    if (records.size() > RecentDocumentsService::maxResults)
        records.resize(RecentDocumentsService::maxResults);
    documents.prefetchIcons(records, services_.workspace());
    documents.refresh();
}

void StripWindowController::observeRecentDocuments() {
    if (recentDocumentsObserver_)
        return;
    QPointer<StripWindowController> self(this);
    recentDocumentsObserver_ = services_.notifications().addObserver(
        RecentDocumentsService::didUpdateNotification, [self](const QVariantMap&) {
            if (self)
                self->services_.get<RecentDocumentsService>().updateGroups(self);
        });
}

void StripWindowController::showStrip() {
    startServices();
    if (window_) {
        window_->show();
        window_->raise();
        return;
    }

    QPointer<StripWindowController> self(this);
    auto* content = new StripContentView(
        services_.defaults(),
        [self](StripModule module) {
            runLaterOnMain(
                [self, module] {
                    if (self)
                        self->presentModuleMenu(module);
                },
                self);
        },
        [self](StripModule module, const QList<QUrl>& urls) {
            runLaterOnMain(
                [self, module, urls] {
                    if (self)
                        self->addDroppedFavorites(module, urls);
                },
                self);
        },
        [self] {
            if (self)
                self->openSettingsFromStrip();
        });

    WindowDecorations* decorations = services_.platform().windowDecorations.get();
    if (decorations)
        content->setWindowMoveStarter([decorations](QWidget& window, const QPoint& press) {
            return decorations->startWindowMove(window, press);
        });
    const bool translucent = !decorations || decorations->isCompositing();
    auto* panel = new StripPanel(content, translucent, StripContentView::cornerRadius);

    const QRectF frame = initialStripFrame(panel->size());
    panel->setGeometry(
        ScreenGeometry::current(services_.screens()).toTopLeft(frame).toAlignedRect());
    panel->winId();
    if (decorations)
        decorations->prepareFloatingPanel(*panel);
    panel->show();
    window_ = panel;

    // Observed only from here on, so the place given at creation is not stored until the
    // window first moves or is hidden.
    stripWindowDidMoveObserver_ =
        connect(panel, &StripPanel::moved, this, &StripWindowController::stripWindowDidMove);
    stripContentDidResizeObserver_ = connect(panel, &StripPanel::contentSizeChanged, this,
                                             &StripWindowController::stripContentDidResize);
    if (!willTerminateObserver_)
        willTerminateObserver_ =
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                    &StripWindowController::saveStripFrame);
}

void StripWindowController::hideStrip() {
    if (window_)
        saveStripFrame();
    if (stripWindowDidMoveObserver_) {
        disconnect(stripWindowDidMoveObserver_);
        disconnect(stripContentDidResizeObserver_);
        stripWindowDidMoveObserver_ = {};
        stripContentDidResizeObserver_ = {};
    }
    if (window_) {
        window_->close();
        // It may be in the middle of handling one of its own events.
        window_->deleteLater();
    }
    window_ = nullptr;
}

std::optional<QRectF> StripWindowController::stripFrame() const {
    if (!window_)
        return std::nullopt;
    QRect geometry = window_->geometry();
    if (WindowDecorations* decorations = services_.platform().windowDecorations.get())
        if (const auto position = decorations->windowPosition(*window_))
            geometry.moveTopLeft(*position);
    return ScreenGeometry::current(services_.screens()).toBottomLeft(QRectF(geometry));
}

void StripWindowController::saveStripFrame() {
    // Wayland tells a client nothing of where its windows are (every place reads as the
    // origin): storing that would lose the place the user chose in an X11 session.
    if (QGuiApplication::platformName().startsWith(u"wayland"))
        return;
    if (const auto frame = stripFrame())
        stripWindowFrameKey.write(services_.defaults(), rectToString(*frame));
}

StripContentView* StripWindowController::contentView() const {
    return window_ ? static_cast<StripContentView*>(window_->content()) : nullptr;
}

void StripWindowController::stripWindowDidMove() {
    // Qt reports a move it asked for at once, before the window system has made it; the
    // window system's place would still be the old one.
    if (!placingWindow_)
        saveStripFrame();
}

void StripWindowController::stripContentDidResize() {
    // The content laid itself out again (the orientation changed). The window keeps its
    // top-left corner, where the window system has it now, and stays whole on its screen.
    const auto frame = stripFrame();
    if (!frame)
        return;
    const QSizeF size = window_->contentSize();
    // A bottom-left frame's top edge is its y plus its height.
    QRectF wanted(frame->x(), frame->y() + frame->height() - size.height(), size.width(),
                  size.height());
    auto screen = screenBestContaining(wanted);
    if (!screen)
        screen = services_.screens().mainScreen();
    if (screen)
        wanted = constrainFrameRect(wanted, *screen);
    const ScreenGeometry geometry = ScreenGeometry::current(services_.screens());
    const QRect target = geometry.toTopLeft(wanted).toAlignedRect();
    placingWindow_ = true;
    window_->setFrame(target);
    placingWindow_ = false;
    // The frame asked for; should the window system put the window elsewhere, its move is
    // stored like any other.
    stripWindowFrameKey.write(services_.defaults(), rectToString(geometry.toBottomLeft(target)));
}

QRectF StripWindowController::initialStripFrame(const QSizeF& panelSize) const {
    const qreal w = panelSize.width();
    const qreal h = panelSize.height();
    const Screens& screens = services_.screens();
    const auto main = screens.mainScreen();
    QRectF fallback(0, 0, w, h);
    if (main) {
        const QRectF& v = main->visibleFrame;
        fallback = QRectF(v.right() - w - defaultRightInset, v.center().y() - 0.5 * h, w, h);
    }

    const auto stored = services_.defaults().objectForKey(stripWindowFrameKey.key());
    if (!stored || !variantIsString(*stored))
        return fallback;
    const QRectF s = rectFromString(stored->toString());
    if (s.width() < 1 || s.height() < 1)
        return fallback;
    const QRectF r(s.x(), s.y(), w, h);
    auto screen = screenBestContaining(r);
    if (!screen)
        screen = main;
    if (!screen)
        return fallback;
    return constrainFrameRect(r, *screen);
}

std::optional<ScreenInfo> StripWindowController::screenBestContaining(const QRectF& rect) const {
    std::optional<ScreenInfo> best;
    qreal bestArea = 0;
    for (const ScreenInfo& screen : services_.screens().screens()) {
        const QRectF& v = screen.visibleFrame;
        const qreal width =
            std::max<qreal>(0, std::min(v.right(), rect.right()) - std::max(v.left(), rect.left()));
        const qreal height =
            std::max<qreal>(0, std::min(v.bottom(), rect.bottom()) - std::max(v.top(), rect.top()));
        const qreal area = width * height;
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

QRectF StripWindowController::constrainFrameRect(const QRectF& frame, const ScreenInfo& screen) {
    const QRectF& v = screen.visibleFrame;
    QRectF r = frame;
    // A window larger than the area keeps its left and top edges visible.
    if (r.right() > v.right())
        r.moveRight(v.right());
    if (r.left() < v.left())
        r.moveLeft(v.left());
    if (r.top() < v.top()) // the bottom edge, y grows upward
        r.moveTop(v.top());
    if (r.bottom() > v.bottom())
        r.moveBottom(v.bottom());
    return r;
}

void StripWindowController::presentModuleMenu(StripModule module) {
    if (!hasButton(module))
        return;
    showModuleMenu(menuForModule(module), module);
}

std::unique_ptr<QMenu> StripWindowController::menuForModule(StripModule module) {
    switch (module) {
    case StripModule::documents: {
        auto& documents = services_.get<RecentDocumentsService>();
        recentGroups = documents.currentGroups();
        auto menu = makeRecentDocumentsMenu(recentGroups);
        // The next press sees what the index knows by then.
        documents.refresh();
        return menu;
    }
    case StripModule::folders: {
        // The list reflects the previous gathering; this one serves the next press.
        auto& folders = services_.get<RecentFoldersService>();
        folders.refresh();
        recentFolders = folders.currentFolders();
        return makeRecentFoldersMenu(recentFolders);
    }
    case StripModule::applications:
        return menuForApplications();
    case StripModule::clipboard:
        return makeClipboardMenu();
    case StripModule::windows:
        return makeOpenAppsMenu();
    case StripModule::shortcuts:
    case StripModule::websites:
    case StripModule::tasks:
        break;
    }
    return std::make_unique<QMenu>();
}

QPointF StripWindowController::moduleMenuLocation(StripModule module) const {
    if (!window_)
        return {};
    const auto anchor = moduleAnchor(module, services_.defaults());
    if (!anchor)
        return {};
    // The content's frame: the strip has no title bar or border above its content.
    const auto frame = stripFrame();
    if (!frame)
        return {};
    // A bottom-left frame's top edge is its y plus its height.
    const qreal y = frame->y() + frame->height() - anchor->y();
    const qreal x =
        isHorizontalOrientation(services_.defaults()) ? frame->x() + anchor->x() : frame->x() - 4;
    return {x, y};
}

void StripWindowController::showModuleMenu(std::unique_ptr<QMenu> menu, StripModule module) {
    if (!menu)
        return;
    const QPointF location = moduleMenuLocation(module);
    const QPointF topLeft = ScreenGeometry::current(services_.screens())
                                .toTopLeft(QRectF(location, QSizeF(0, 0)))
                                .topLeft();
    QMenu* shown = menu.release();
    // Lives while it is shown; an action chosen from it runs before the deletion.
    connect(shown, &QMenu::aboutToHide, shown, &QObject::deleteLater);
    if (!popUpMenu(*shown, topLeft.toPoint(), window_))
        shown->deleteLater();
}

std::unique_ptr<QMenu>
StripWindowController::makeRecentDocumentsMenu(const QList<RecentDocumentGroup>& groups) {
    using namespace ModuleMenuItems;
    std::unique_ptr<QMenu> menu(makeMenu(recentDocumentsTitle));
    addHeaderItem(*menu, L("strip.menu.recentDocuments"));
    if (groups.isEmpty()) {
        addEmptyStateItem(*menu, L("strip.emptyState.noRecentDocuments"));
    } else {
        for (const RecentDocumentGroup& group : groups) {
            QMenu* submenu = addSubmenuItem(*menu, group.appName, group.appIcon);
            for (const RecentDocumentItem& item : group.items)
                addEntryItem(*submenu, item.displayName, item.icon, QVariant(item.url), this,
                             &StripWindowController::openRecentDocument);
        }
        addClearItem(*menu, this, &StripWindowController::clearRecents);
        menu->addSeparator();
    }
    addHeaderItem(*menu, L("strip.menu.favoriteDocuments"));
    for (const FavoriteItem& favorite :
         favoritesStore(services_, FavoritesCategory::documents).favorites())
        addEntryItem(*menu, favorite.displayName, favorite.icon, QVariant(favorite.url), this,
                     &StripWindowController::openFavorite);
    addEditItem(*menu, this, &StripWindowController::editFavorites);
    return menu;
}

std::unique_ptr<QMenu>
StripWindowController::makeRecentFoldersMenu(const QList<RecentFolderItem>& folders) {
    using namespace ModuleMenuItems;
    std::unique_ptr<QMenu> menu(makeMenu(recentFoldersTitle));
    addHeaderItem(*menu, L("strip.menu.recentFolders"));
    if (folders.isEmpty()) {
        addEmptyStateItem(*menu, L("strip.emptyState.noRecentFolders"));
    } else {
        for (const RecentFolderItem& folder : folders)
            addEntryItem(*menu, folder.displayName, folder.icon, QVariant(folder.url), this,
                         &StripWindowController::openRecentFolder);
        addClearItem(*menu, this, &StripWindowController::clearRecentFolders);
        menu->addSeparator();
    }
    addHeaderItem(*menu, L("strip.menu.favoriteFolders"));
    for (const FavoriteItem& favorite :
         favoritesStore(services_, FavoritesCategory::folders).favorites())
        addEntryItem(*menu, favorite.displayName, favorite.icon, QVariant(favorite.url), this,
                     &StripWindowController::openFolder);
    addEditItem(*menu, this, &StripWindowController::editFolderFavorites);
    return menu;
}

void StripWindowController::openRecentDocument(QAction* sender) {
    if (const auto url = ModuleMenuItems::representedURL(sender))
        openRecentTarget(*url, OpenTargetKind::document);
}

void StripWindowController::openRecentFolder(QAction* sender) {
    if (const auto url = ModuleMenuItems::representedURL(sender))
        openRecentTarget(*url, OpenTargetKind::folder);
}

void StripWindowController::openFavorite(QAction* sender) {
    if (const auto url = ModuleMenuItems::representedURL(sender))
        openFavoriteTarget(*url, OpenTargetKind::document);
}

void StripWindowController::openFolder(QAction* sender) {
    if (const auto url = ModuleMenuItems::representedURL(sender))
        openFavoriteTarget(*url, OpenTargetKind::folder);
}

void StripWindowController::clearRecents(QAction*) {
    auto& documents = services_.get<RecentDocumentsService>();
    services_.defaults().removeObject(RecentDocumentsService::storageKey.key());
    documents.iconCache().removeAllObjects();
    recentGroups.clear();
    // What the index found last stays; the groups are rebuilt from it alone.
    documents.updateGroups(QPointer<StripWindowController>(this));
}

void StripWindowController::clearRecentFolders(QAction*) {
    services_.defaults().removeObject(RecentFoldersService::storageKey.key());
    recentFolders.clear();
}

void StripWindowController::editFavorites(QAction*) {
    openFavoritesEditor();
}

void StripWindowController::editFolderFavorites(QAction*) {
    openFavoritesEditor();
}

void StripWindowController::openFavoritesEditor() {
    QPointer<StripWindowController> self(this);
    FavoritesEditWindowCoordinator::openFavoritesEditor(
        favoritesEditWindowCoordinator, services_, this,
        {[self](const QUrl& url, FavoritesCategory category) {
             if (self)
                 self->openFavoriteTarget(url, openTargetKind(category));
         },
         [self](const QUrl& url) {
             if (self)
                 self->launchApplicationAt(url);
         }});
}

void StripWindowController::openRecentTarget(const QUrl& url, OpenTargetKind kind) {
    const QUrl target = resolvedFileURL(url, services_.fileSystem());
    auto& access = services_.get<RecentAccessService>();
    if (const auto grant = access.accessURL(target)) {
        openWithGrant(target, *grant, kind);
        return;
    }
    // The program may reach the item by itself; then no one needs to be asked.
    if (access.storeGrant(target)) {
        if (const auto grant = access.accessURL(target)) {
            openWithGrant(target, *grant, kind);
            return;
        }
    }
    requestFolderAccess(target, kind);
}

void StripWindowController::openWithGrant(const QUrl& url, const QUrl& grant, OpenTargetKind kind) {
    BookmarkService& bookmarks = services_.bookmarks();
    const bool accessing = bookmarks.startAccessing(grant);
    // A handler that cannot be started is not reported; the item still counts as opened.
    services_.workspace().openURL(url);
    if (kind == OpenTargetKind::document)
        services_.get<RecentDocumentsService>().recordOpened(url);
    else if (kind == OpenTargetKind::folder)
        services_.get<RecentFoldersService>().recordOpened(url);
    if (accessing)
        bookmarks.stopAccessing(grant);
}

void StripWindowController::openFavoriteTarget(const QUrl& url, OpenTargetKind kind) {
    if (kind == OpenTargetKind::application) {
        launchApplicationAt(url);
        return;
    }
    const QUrl resolved = resolvedFileURL(url, services_.fileSystem());
    if (resolved == url) {
        openWithGrant(url, url, kind);
        return;
    }
    // An alias or link: access to both the favorite and what it leads to.
    BookmarkService& bookmarks = services_.bookmarks();
    const bool accessingFavorite = bookmarks.startAccessing(url);
    const bool accessingResolved = bookmarks.startAccessing(resolved);
    openWithGrant(resolved, resolved, kind);
    if (accessingResolved)
        bookmarks.stopAccessing(resolved);
    if (accessingFavorite)
        bookmarks.stopAccessing(url);
}

void StripWindowController::launchApplicationAt(const QUrl& url) {
    services_.workspace().launchApplication(resolvedFileURL(url, services_.fileSystem()), true);
}

void StripWindowController::requestFolderAccess(const QUrl& url, OpenTargetKind kind) {
    if (auto running = services_.platform().runningApplications)
        running->activateCurrentApplication();

    const QString path = standardizedPath(url);
    const QString name = services_.fileSystem().displayName(path);
    OpenPanelOptions panel;
    panel.canCreateDirectories = false;
    panel.allowsMultipleSelection = false;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    // Strings only: the folders need not exist for the panel to start as near as it can.
    const QString parent = QFileInfo(path).path();
    if (kind == OpenTargetKind::document) {
        // The user picks the folder that holds the document, so the panel shows its parent.
        panel.directory = QFileInfo(parent).path();
        panel.message = L("recentAccessPanelDocumentFolderMessage").arg(name);
    } else {
        panel.directory = parent;
        panel.message = L("recentAccessPanelMessage").arg(name);
    }
    panel.prompt = L("buttonGrantAccess");

    QPointer<StripWindowController> self(this);
    services_.dialogs().beginOpenPanel(panel,
                                       [self, url, kind](const std::optional<QList<QUrl>>& chosen) {
                                           if (self)
                                               self->accessPanelDidEnd(chosen, url, kind);
                                       });
}

void StripWindowController::accessPanelDidEnd(const std::optional<QList<QUrl>>& chosen,
                                              const QUrl& url, OpenTargetKind kind) {
    if (!chosen || chosen->isEmpty())
        return;
    const QUrl& panelURL = chosen->first();
    const FileSystem& fileSystem = services_.fileSystem();
    const QUrl folder = resolvedFileURL(panelURL, fileSystem);
    const QUrl target = resolvedFileURL(url, fileSystem);
    const QString folderPath = standardizedPath(folder);
    const QString targetPath = standardizedPath(target);
    QString prefix = folderPath;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    // The same item however its URL is spelled, or anything below it; not a sibling whose name
    // merely begins alike.
    const bool fits =
        folder == target || (folder.isLocalFile() && target.isLocalFile() &&
                             (folderPath == targetPath || targetPath.startsWith(prefix)));
    if (fits) {
        auto& access = services_.get<RecentAccessService>();
        if (access.storeGrant(panelURL)) {
            if (const auto grant = access.accessURL(url)) {
                openWithGrant(url, *grant, kind);
                return;
            }
        }
    }
    showWrongSelectionAlert(url);
}

void StripWindowController::showWrongSelectionAlert(const QUrl& url) {
    AlertOptions alert;
    alert.style = AlertStyle::warning;
    alert.messageText = L("recentAccessWrongSelectionTitle");
    alert.informativeText = L("recentAccessWrongSelectionMessage")
                                .arg(services_.fileSystem().displayName(standardizedPath(url)));
    alert.buttons = {L("buttonOK")};
    services_.dialogs().runAlert(alert);
}

void StripWindowController::addDroppedFavorites(StripModule module, const QList<QUrl>& urls) {
    if (module != StripModule::documents && module != StripModule::folders &&
        module != StripModule::applications)
        return;
    // The item decides where it goes: a folder dropped on the documents button is a folder.
    for (const QUrl& url : urls) {
        const QUrl normalised = resolvedFileURL(url, services_.fileSystem());
        favoritesStore(services_, classifyFavoriteURL(normalised)).add(normalised);
    }
}

void StripWindowController::openSettingsFromStrip() {
    // The settings window comes up in front of whatever application was active.
    if (auto running = services_.platform().runningApplications)
        running->activateCurrentApplication();
    if (openSettingsAction_)
        openSettingsAction_();
}
