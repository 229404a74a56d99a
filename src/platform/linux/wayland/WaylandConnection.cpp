#include "platform/linux/wayland/WaylandConnection.h"

#include <QObject>
#include <QSocketNotifier>
#include <wayland-client.h>

#include <algorithm>
#include <poll.h>

namespace {
using Globals = QHash<QByteArray, WaylandConnection::Global>;
void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    // The first of each: a second seat is not followed.
    auto* globals = static_cast<Globals*>(data);
    if (!globals->contains(interface))
        globals->insert(QByteArray(interface), {name, version});
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{&onGlobal, &onGlobalRemove};

void onProbeAnswered(void* data, wl_callback* callback, uint32_t) {
    *static_cast<wl_callback**>(data) = nullptr;
    wl_callback_destroy(callback);
}
const wl_callback_listener probeListener{&onProbeAnswered};
// Often enough that a lost list comes back soon, rarely enough to cost nothing.
constexpr int kProbeIntervalMs = 3000;
} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open() {
    // Without the variable libwayland would try "wayland-0", which may be another session's.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return nullptr;
    std::unique_ptr<WaylandConnection> c(new WaylandConnection);
    c->display_ = wl_display_connect(nullptr);
    if (!c->display_)
        return nullptr;
    c->registry_ = wl_display_get_registry(c->display_);
    wl_registry_add_listener(c->registry_, &registryListener, &c->globals_);
    if (!c->roundtrip())
        return nullptr;
    c->seat_ = static_cast<wl_seat*>(c->bindGlobal(&wl_seat_interface, 1));
    return c;
}

WaylandConnection::~WaylandConnection() {
    if (!display_)
        return;
    notifier_.reset();
    prober_.reset();
    if (probing_)
        wl_callback_destroy(probing_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void* WaylandConnection::bind(Global global, const wl_interface* interface, uint32_t version) {
    return wl_registry_bind(registry_, global.name, interface, version);
}

void* WaylandConnection::bindGlobal(const wl_interface* interface, uint32_t maxVersion) {
    const Global offered = global(interface->name);
    return offered.name ? bind(offered, interface, std::min(offered.version, maxVersion)) : nullptr;
}

bool WaylandConnection::roundtrip() {
    return wl_display_roundtrip(display_) >= 0;
}

void WaylandConnection::flush() {
    wl_display_flush(display_);
}

bool WaylandConnection::alive() const {
    return wl_display_get_error(display_) == 0;
}

void WaylandConnection::dispatch() {
    if (!alive())
        return;
    while (wl_display_prepare_read(display_) != 0)
        wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        wl_display_read_events(display_);
    else
        wl_display_cancel_read(display_);
    wl_display_dispatch_pending(display_);
    if (!alive() && notifier_ && notifier_->isEnabled()) {
        // The compositor is gone or ended the connection: stay quiet from here on, and tell
        // the owner once it is out of this dispatch (it may close the connection).
        notifier_->setEnabled(false);
        prober_->stop();
        if (lost_)
            QMetaObject::invokeMethod(notifier_.get(), lost_, Qt::QueuedConnection);
    }
}

void WaylandConnection::probe() {
    if (!alive() || probing_)
        return;
    probing_ = wl_display_sync(display_);
    wl_callback_add_listener(probing_, &probeListener, &probing_);
    wl_display_flush(display_);
}

void WaylandConnection::watch(QObject* context, std::function<void()> lost) {
    lost_ = std::move(lost);
    notifier_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context, [this] { dispatch(); });
    prober_ = std::make_unique<QTimer>();
    QObject::connect(prober_.get(), &QTimer::timeout, context, [this] { probe(); });
    prober_->start(kProbeIntervalMs);
}

// ---- WaylandReconnection ----

WaylandReconnection::WaylandReconnection(std::function<bool()> attempt)
    : attempt_(std::move(attempt)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tryOnce(); });
}

void WaylandReconnection::lost() {
    if (timer_.isActive())
        return;
    timer_.setInterval(0);
    timer_.start();
}

void WaylandReconnection::hurry() {
    if (timer_.isActive() && (!lastAttempt_.isValid() || lastAttempt_.hasExpired(1000))) {
        timer_.stop();
        tryOnce();
    }
}

void WaylandReconnection::tryOnce() {
    lastAttempt_.start();
    if (attempt_())
        return;
    timer_.setInterval(std::clamp(timer_.interval() * 2, firstPauseMs, longestPauseMs));
    timer_.start();
}
