#include "strip/StripWindowController.h"

#include "clipboard/ClipboardHistoryService.h"
#include "common/FileURL.h"
#include "common/MainQueue.h"
#include "common/RectString.h"
#include "common/ScreenGeometry.h"
#include "common/Services.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/RunningApplications.h"
#include "platform/WindowDecorations.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "strip/StripPanel.h"

#include <QCoreApplication>
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
        connect(panel, &StripPanel::moved, this, &StripWindowController::saveStripFrame);
    stripWindowDidResizeObserver_ =
        connect(panel, &StripPanel::resized, this, &StripWindowController::stripWindowDidResize);
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
        disconnect(stripWindowDidResizeObserver_);
        stripWindowDidMoveObserver_ = {};
        stripWindowDidResizeObserver_ = {};
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
    return ScreenGeometry::current(services_.screens()).toBottomLeft(QRectF(window_->geometry()));
}

void StripWindowController::saveStripFrame() {
    if (const auto frame = stripFrame())
        stripWindowFrameKey.write(services_.defaults(), rectToString(*frame));
}

StripContentView* StripWindowController::contentView() const {
    return window_ ? static_cast<StripContentView*>(window_->content()) : nullptr;
}

void StripWindowController::stripWindowDidResize() {
    // The content laid itself out again (the orientation changed); the window keeps its
    // top-left corner and must stay whole on its screen.
    const auto frame = stripFrame();
    if (!frame)
        return;
    auto screen = screenBestContaining(*frame);
    if (!screen)
        screen = services_.screens().mainScreen();
    if (screen) {
        const QRectF constrained = constrainFrameRect(*frame, *screen);
        if (constrained != *frame) {
            // The move is reported and stored like any other.
            window_->move(ScreenGeometry::current(services_.screens())
                              .toTopLeft(constrained)
                              .toAlignedRect()
                              .topLeft());
            return;
        }
    }
    // Its bottom-left origin moved with the new height.
    saveStripFrame();
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

void StripWindowController::presentModuleMenu(StripModule) {
    // The module menus are built and popped up here.
}

std::unique_ptr<QMenu> StripWindowController::menuForModule(StripModule) {
    // Each module's builder takes its place here; a module without one has an empty menu.
    return std::make_unique<QMenu>();
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
