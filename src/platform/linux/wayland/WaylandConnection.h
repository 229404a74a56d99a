#pragma once

#include <QByteArray>
#include <QHash>
#include <memory>

class QObject;
class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;

// A Wayland connection of this program's own, beside Qt's: the globals the compositor offers,
// its first seat, and events taken in as they arrive. Protocol objects made on it are the
// owner's to destroy before the connection goes. Main thread.
class WaylandConnection {
public:
    struct Global {
        uint32_t name = 0;
        uint32_t version = 0;
    };

    // Connects to $WAYLAND_DISPLAY and reads the globals; null without a compositor.
    static std::unique_ptr<WaylandConnection> open();
    ~WaylandConnection();

    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }
    // The global of this interface, or name 0 when not offered (or refused to this program).
    Global global(const char* interface) const { return globals_.value(QByteArray(interface)); }
    void* bind(Global global, const wl_interface* interface, uint32_t version);
    // Binds the global of this interface at the version offered, or at maxVersion when that is
    // lower; null when it is not offered.
    void* bindGlobal(const wl_interface* interface, uint32_t maxVersion);

    bool roundtrip();
    void flush();
    // Whether the compositor is still there and has not ended the connection.
    bool alive() const;
    // Takes in the events that have arrived, without blocking, and dispatches them.
    void dispatch();
    // Dispatches events from now on as they arrive, in context's thread.
    void watch(QObject* context);

private:
    WaylandConnection() = default;

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    QHash<QByteArray, Global> globals_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
