#include "platform/linux/wayland/WlrForeignToplevels.h"

#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QElapsedTimer>
#include <QMutex>
#include <wayland-client.h>

class WlrForeignToplevels::Private : public Protocol {
public:
    explicit Private(WlrForeignToplevels& owner) : Protocol(owner), owner(owner) {}
    ~Private() override;

    bool bind(WaylandConnection& connection) override;
    bool bound() const override { return manager != nullptr; }
    bool requestActivate(quintptr toplevel) override;
    bool requestMinimized(quintptr toplevel, bool minimized) override;
    void minimizeRequested(const QSet<QString>& appIds) override;
    void restoreRequested(const QSet<QString>& appIds) override;

    static zwlr_foreign_toplevel_handle_v1* handle(quintptr toplevel) {
        return reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel);
    }

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);
    static void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title);
    static void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId);
    static void onOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void onOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* state);
    static void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void onParent(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                         zwlr_foreign_toplevel_handle_v1* parent);

    static const zwlr_foreign_toplevel_manager_v1_listener managerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener handleListener;

    WlrForeignToplevels& owner;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
};

// What sway's IPC thread keeps between messages: sway's windows as last read, and those this
// program moved to the scratchpad from the tiling layout.
struct WlrForeignToplevels::SwayScratchpad {
    QMutex mutex;
    QList<SwayIpc::Window> windows;
    QElapsedTimer windowsRead;
    QSet<qint64> tiled;

    // Hide All asks once per application, one after another: one look at sway's tree serves.
    QList<SwayIpc::Window>& currentWindows(bool fresh) {
        if (fresh || !windowsRead.isValid() || windowsRead.hasExpired(500)) {
            windows = SwayIpc::windows(SwayIpc::defaultTimeoutMs);
            windowsRead.start();
        }
        return windows;
    }
};

const zwlr_foreign_toplevel_manager_v1_listener WlrForeignToplevels::Private::managerListener{
    &onToplevel, &onFinished};
const zwlr_foreign_toplevel_handle_v1_listener WlrForeignToplevels::Private::handleListener{
    &onTitle, &onAppId, &onOutputEnter, &onOutputLeave, &onState, &onDone, &onClosed, &onParent};

WlrForeignToplevels::Private::~Private() {
    for (quintptr toplevel : toplevels().ids())
        zwlr_foreign_toplevel_handle_v1_destroy(handle(toplevel));
    if (manager)
        zwlr_foreign_toplevel_manager_v1_stop(manager);
}

bool WlrForeignToplevels::Private::bind(WaylandConnection& connection) {
    // Version 3 adds the parent of a dialog.
    manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection.bindGlobal(&zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!manager)
        return false;
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &managerListener, this);
    return true;
}

void WlrForeignToplevels::Private::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                              zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    self->toplevels().pending(quintptr(handle));
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, self);
}

void WlrForeignToplevels::Private::onFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    // The compositor will send nothing more; the list it gave stays until the handles close.
    auto* self = static_cast<Private*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->manager);
    self->manager = nullptr;
}

void WlrForeignToplevels::Private::onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                           const char* title) {
    auto* self = static_cast<Private*>(data);
    self->toplevels().pending(quintptr(handle)).title = QString::fromUtf8(title).left(1024);
}

void WlrForeignToplevels::Private::onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                           const char* appId) {
    auto* self = static_cast<Private*>(data);
    self->toplevels().pending(quintptr(handle)).appId = QString::fromUtf8(appId).left(1024);
}

void WlrForeignToplevels::Private::onState(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                           wl_array* state) {
    auto* self = static_cast<Private*>(data);
    WaylandToplevel& toplevel = self->toplevels().pending(quintptr(handle));
    toplevel.minimized = false;
    toplevel.activated = false;
    const auto* values = static_cast<const uint32_t*>(state->data);
    for (size_t i = 0; i < state->size / sizeof(uint32_t); ++i) {
        if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)
            toplevel.minimized = true;
        else if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            toplevel.activated = true;
    }
}

void WlrForeignToplevels::Private::onParent(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                            zwlr_foreign_toplevel_handle_v1* parent) {
    auto* self = static_cast<Private*>(data);
    self->toplevels().pending(quintptr(handle)).hasParent = parent != nullptr;
}

void WlrForeignToplevels::Private::onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    if (self->toplevels().commit(quintptr(handle)))
        self->activationSeen();
}

void WlrForeignToplevels::Private::onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<Private*>(data);
    self->toplevels().remove(quintptr(handle));
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

bool WlrForeignToplevels::Private::requestActivate(quintptr toplevel) {
    if (!connection() || !connection()->seat())
        return false;
    // Activating also shows a minimised window again.
    zwlr_foreign_toplevel_handle_v1_activate(handle(toplevel), connection()->seat());
    connection()->flush();
    return true;
}

bool WlrForeignToplevels::Private::requestMinimized(quintptr toplevel, bool minimized) {
    if (!connection())
        return false;
    if (minimized)
        zwlr_foreign_toplevel_handle_v1_set_minimized(handle(toplevel));
    else
        zwlr_foreign_toplevel_handle_v1_unset_minimized(handle(toplevel));
    connection()->flush();
    return true;
}

void WlrForeignToplevels::Private::minimizeRequested(const QSet<QString>& appIds) {
    // sway has no minimised state and ignores the request: its scratchpad hides windows, and
    // activating one brings it back. Windows are named by con id: an XWayland window has no
    // app id for a criterion to match, only the class it is listed under. sway is asked on its
    // IPC thread: the tree's answer is needed before the move.
    if (!SwayIpc::isAvailable())
        return;
    owner.sway_.post([appIds, state = owner.scratchpad_] {
        QStringList commands;
        {
            QMutexLocker lock(&state->mutex);
            for (SwayIpc::Window& window : state->currentWindows(false)) {
                if (window.inScratchpad || !appIds.contains(window.appId))
                    continue;
                commands << QStringLiteral("[con_id=%1] move scratchpad").arg(window.id);
                window.inScratchpad = true;
                // The scratchpad makes every window floating; a tiled one is tiled again when
                // shown.
                if (window.floating)
                    state->tiled.remove(window.id);
                else
                    state->tiled.insert(window.id);
            }
        }
        if (!commands.isEmpty())
            SwayIpc::exchange(commands, SwayIpc::defaultTimeoutMs);
    });
}

void WlrForeignToplevels::Private::restoreRequested(const QSet<QString>& appIds) {
    if (!SwayIpc::isAvailable())
        return;
    {
        QMutexLocker lock(&owner.scratchpad_->mutex);
        if (owner.scratchpad_->tiled.isEmpty())
            return;
    }
    owner.sway_.post([appIds, state = owner.scratchpad_] {
        QStringList commands;
        {
            QMutexLocker lock(&state->mutex);
            QSet<qint64> stillHidden;
            for (const SwayIpc::Window& window : state->currentWindows(true)) {
                if (!state->tiled.contains(window.id))
                    continue;
                if (!appIds.contains(window.appId)) {
                    if (window.inScratchpad)
                        stillHidden.insert(window.id);
                } else if (window.inScratchpad || window.floating) {
                    // Focusing shows a hidden scratchpad window and leaves a shown one be, so
                    // an activation sent meanwhile (which also shows it, floating) does not
                    // undo this as a second "scratchpad show" would.
                    commands
                        << QStringLiteral("[con_id=%1] focus, floating disable").arg(window.id);
                }
            }
            // Windows closed or shown otherwise meanwhile are forgotten.
            state->tiled = stillHidden;
            state->windowsRead.invalidate();
        }
        if (!commands.isEmpty())
            SwayIpc::exchange(commands, SwayIpc::defaultTimeoutMs);
    });
}

WlrForeignToplevels::WlrForeignToplevels(QObject* parent)
    : WaylandToplevelApplications(parent), scratchpad_(std::make_shared<SwayScratchpad>()) {
    connectToCompositor([this] { return std::make_unique<Private>(*this); });
}
