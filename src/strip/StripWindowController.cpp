#include "strip/StripWindowController.h"

#include "clipboard/ClipboardHistoryService.h"
#include "common/MenuPopup.h"
#include "common/Services.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/MainQueue.h"
#include "platform/RunningApplications.h"
#include "platform/WindowDecorations.h"
#include "strip/ApplicationsMenus.h"
#include "strip/ClipboardMenu.h"
#include "strip/DocumentsAndFoldersMenus.h"
#include "strip/FavoritesEditWindowCoordinator.h"
#include "strip/MenuEntryOpener.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>

StripWindowController::StripWindowController(Services& services, StripServices menus,
                                             QObject* parent)
    : QObject(parent), services_(services), menus_(menus),
      opener_(std::make_unique<MenuEntryOpener>(
          services.fileSystem(), services.bookmarks(), services.runningApplications(),
          services.workspace(), services.dialogs(), menus.access, menus.documents, menus.folders)),
      placement_(std::make_unique<StripPlacement>(services.defaults(), services.screens(),
                                                  services.windowDecorations())),
      documentsAndFolders_(std::make_unique<DocumentsAndFoldersMenus>(
          menus.documents, menus.folders, menus.favorites, *opener_)),
      applications_(std::make_unique<ApplicationsMenus>(
          services.bundle(), services.runningApplications(), services.workspace(),
          menus.applications, menus.favorites, *opener_)),
      clipboard_(std::make_unique<ClipboardMenu>(services.workspace(), menus.clipboard)) {
    connect(documentsAndFolders_.get(), &DocumentsAndFoldersMenus::editFavoritesRequested, this,
            &StripWindowController::openFavoritesEditor);
    connect(applications_.get(), &ApplicationsMenus::editFavoritesRequested, this,
            &StripWindowController::openFavoritesEditor);
}

StripWindowController::~StripWindowController() {
    delete window_.data();
}

// Each start tolerates a second call: at launch they run twice (once more from showStrip).
void StripWindowController::startServices() {
    menus_.applications.start();
    menus_.clipboard.start();
    RecentDocumentsService& documents = menus_.documents;
    // Icons for the documents the menu shows first, so its first opening has them.
    QList<PersistedRecentDocumentRecord> records = documents.loadPersistedRecords();
    if (records.size() > RecentDocumentsService::maxResults)
        records.resize(RecentDocumentsService::maxResults);
    documents.prefetchIcons(records, services_.workspace());
    documentsAndFolders_->observeRecentDocuments();
    // The favorites are checked from now on, so that the first press finds them checked.
    for (FavoritesCategory category : allFavoritesCategories)
        menus_.favorites.store(category);
    if (!indexReadScheduled_) {
        indexReadScheduled_ = true;
        // The recent-files index is first read once start-up is over: read at once, it would
        // compete with the strip and the first answers for the processor (a large index takes a
        // fifth of a second). A menu opened before then reads it itself.
        QTimer::singleShot(indexReadDelayMs, this, [this] {
            menus_.folders.refresh();
            menus_.documents.refresh();
        });
    }
}

void StripWindowController::showStrip() {
    startServices();
    if (window_) {
        window_->show();
        window_->raise();
        return;
    }

    QPointer<StripWindowController> self(this);
    WindowDecorations& decorations = services_.windowDecorations();
    auto* content = new StripContentView(services_.defaults(), decorations);
    connect(content, &StripContentView::moduleTapped, this, [self](StripModule module) {
        runLaterOnMain(
            [self, module] {
                if (self)
                    self->presentModuleMenu(module);
            },
            self);
    });
    connect(content, &StripContentView::filesDropped, this,
            [self](StripModule module, const QList<QUrl>& urls) {
                runLaterOnMain(
                    [self, module, urls] {
                        if (self)
                            self->addDroppedFavorites(module, urls);
                    },
                    self);
            });
    connect(content, &StripContentView::settingsRequested, this,
            &StripWindowController::openSettingsFromStrip);

    const bool translucent = decorations.isCompositing();
    auto* panel = new StripPanel(content, translucent, StripContentView::cornerRadius,
                                 decorations.floatingPanelType());

    const QRectF frame = placement_->initialFrame(panel->size());
    panel->setGeometry(frame.toAlignedRect());
    panel->winId();
    decorations.prepareFloatingPanel(*panel);
    panel->show();
    window_ = panel;
    // Followed only from here on, so the place given at creation is not stored until the
    // window first moves or is hidden.
    placement_->follow(panel);
}

void StripWindowController::hideStrip() {
    placement_->storeFrame();
    placement_->follow(nullptr);
    if (window_) {
        window_->close();
        // It may be in the middle of handling one of its own events.
        window_->deleteLater();
    }
    window_ = nullptr;
}

StripContentView* StripWindowController::contentView() const {
    return window_ ? static_cast<StripContentView*>(window_->content()) : nullptr;
}

void StripWindowController::presentModuleMenu(StripModule module) {
    if (!hasButton(module))
        return;
    showModuleMenu(menuForModule(module), module);
}

void StripWindowController::popUpModuleMenu(StripModule module, bool toggle) {
    if (toggle && openMenu_ && openMenu_->isVisible() && openModule_ == module) {
        closeOpenMenu();
        ++menuRequest_; // nor does one still waiting open
        return;
    }
    if (window_ && window_->isVisible()) {
        presentModuleMenu(module);
        return;
    }
    // No button to open it beside: where the user's attention is.
    showOpenMenu(menuForModule(module), module, QCursor::pos(), nullptr);
}

bool StripWindowController::closeOpenMenu() {
    QMenu* menu = openMenu_;
    openMenu_ = nullptr;
    if (!menu || !menu->isVisible())
        return false;
    menu->close();
    return true;
}

std::unique_ptr<QMenu> StripWindowController::menuForModule(StripModule module) {
    switch (module) {
    case StripModule::documents:
        return documentsAndFolders_->makeRecentDocumentsMenu();
    case StripModule::folders:
        return documentsAndFolders_->makeRecentFoldersMenu();
    case StripModule::applications:
        return applications_->makeApplicationsMenu();
    case StripModule::clipboard:
        return clipboard_->makeClipboardMenu();
    case StripModule::windows:
        return applications_->makeOpenAppsMenu();
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
    const auto frame = placement_->frame();
    if (!frame)
        return {};
    const qreal y = frame->y() + anchor->y();
    const qreal x =
        isHorizontalOrientation(services_.defaults()) ? frame->x() + anchor->x() : frame->x() - 4;
    return {x, y};
}

void StripWindowController::showModuleMenu(std::unique_ptr<QMenu> menu, StripModule module) {
    if (!menu)
        return;
    showOpenMenu(std::move(menu), module, moduleMenuLocation(module).toPoint(), window_);
}

void StripWindowController::showOpenMenu(std::unique_ptr<QMenu> menu, StripModule module,
                                         const QPoint& position, QWidget* owner) {
    const quint64 request = ++menuRequest_;
    QMenu* closing = openMenu_;
    if (closeOpenMenu() || menuClosing_) {
        // Qt hides every popup while the closing one goes away, so the new one waits until it
        // is gone; a later request replaces it.
        if (closing)
            menuClosing_ = closing;
        QPointer<StripWindowController> self(this);
        QPointer<QWidget> parent(owner);
        auto later = std::make_shared<std::unique_ptr<QMenu>>(std::move(menu));
        connect(
            menuClosing_, &QObject::destroyed, this,
            [self, later, module, position, parent, request] {
                if (!self || self->menuRequest_ != request)
                    return;
                self->popUpOpenMenu(std::move(*later), module, position, parent);
            },
            Qt::QueuedConnection);
        return;
    }
    popUpOpenMenu(std::move(menu), module, position, owner);
}

void StripWindowController::popUpOpenMenu(std::unique_ptr<QMenu> menu, StripModule module,
                                          const QPoint& position, QWidget* owner) {
    if (!menu)
        return;
    QMenu* shown = menu.release();
    // Lives while it is shown; an action chosen from it runs before the deletion.
    connect(shown, &QMenu::aboutToHide, shown, &QObject::deleteLater);
    services_.windowDecorations().prepareMenuForKeyboard(*shown);
    if (!popUpMenu(*shown, position, owner)) {
        // An empty menu does not open, so it never closes either.
        shown->deleteLater();
        return;
    }
    openMenu_ = shown;
    openModule_ = module;
}

void StripWindowController::openFavoritesEditor() {
    services_.runningApplications().activateCurrentApplication();
    if (favoritesEditor_) {
        // Its window closing releases it; it goes once the current event is handled.
        favoritesEditor_->closeEditor();
    }
    auto* editor = new FavoritesEditWindowCoordinator(
        services_.runningApplications(), services_.dialogs(), services_.screens(), menus_.favorites,
        favoritesPanelFolder_, this);
    favoritesEditor_ = editor;
    editor->showEditor();
    MenuEntryOpener* opener = opener_.get();
    connect(editor, &FavoritesEditWindowCoordinator::openFavoriteRequested, opener,
            [opener](const QUrl& url, FavoritesCategory category) {
                opener->openFavoriteTarget(url, openTargetKind(category));
            });
    connect(editor, &FavoritesEditWindowCoordinator::launchApplicationRequested, opener,
            &MenuEntryOpener::launchApplicationAt);
}

void StripWindowController::addDroppedFavorites(StripModule module, const QList<QUrl>& urls) {
    if (module != StripModule::documents && module != StripModule::folders &&
        module != StripModule::applications)
        return;
    // The item decides where it goes: a folder dropped on the documents button is a folder.
    menus_.favorites.add(urls);
}

void StripWindowController::openSettingsFromStrip() {
    // The settings window comes up in front of whatever application was active.
    services_.runningApplications().activateCurrentApplication();
    Q_EMIT settingsRequested();
}
