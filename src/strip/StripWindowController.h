#pragma once

#include "common/NotificationCenter.h"
#include "history/RecentDocumentGroup.h"
#include "platform/Screens.h"
#include "platform/UserDefaults.h"
#include "strip/StripModule.h"
#include "strip/StripPanel.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

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
    // The menu a press on the module's button shows, built now from the current lists. The
    // status-bar menu embeds the very same menus.
    virtual std::unique_ptr<QMenu> menuForModule(StripModule module);
    // Adds dropped files to the favorites of their own kind, whichever button took them.
    void addDroppedFavorites(StripModule module, const QList<QUrl>& urls);

    // What the strip's settings button opens, once the application provides it.
    void setOpenSettingsAction(std::function<void()> action) {
        openSettingsAction_ = std::move(action);
    }

    Services& services() const { return services_; }

    // The document groups the documents menu showed last, refreshed after each gathering.
    QList<RecentDocumentGroup> recentGroups;

private:
    void startApplicationActivationHistory();
    void startClipboardHistory();
    void startRecentFolders();
    void startRecentDocuments();
    void observeRecentDocuments();

    void openSettingsFromStrip();
    void stripWindowDidResize();

    Services& services_;
    QPointer<StripPanel> window_;
    QMetaObject::Connection stripWindowDidMoveObserver_;
    QMetaObject::Connection stripWindowDidResizeObserver_;
    QMetaObject::Connection willTerminateObserver_;
    std::optional<NotificationCenter::Token> recentDocumentsObserver_;
    std::function<void()> openSettingsAction_;
};
