#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;
struct wl_callback;
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
    // Dispatches events from now on as they arrive, in context's thread. lost runs once, later
    // on the event loop, when the compositor is found gone or to have ended the connection.
    void watch(QObject* context, std::function<void()> lost);
    // Sends the compositor a request that needs no answer now. A compositor that gave up on this
    // connection (sway does, for an event over libwayland's size limit, such as a very long
    // window title) ends it only once it reads from it again: this is how that gets noticed.
    // Watched connections are probed every few seconds as well.
    void probe();

private:
    WaylandConnection() = default;

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    QHash<QByteArray, Global> globals_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> prober_;
    wl_callback* probing_ = nullptr;
    std::function<void()> lost_;
};

// Makes a lost connection again: at once, then after pauses that double while attempts fail,
// up to a few seconds, so a compositor that ends the connection again each time is not hammered.
// attempt makes the connection and says whether it stands. Main thread.
class WaylandReconnection {
public:
    explicit WaylandReconnection(std::function<bool()> attempt);

    // The connection was found lost: attempts start, unless they run already.
    void lost();
    // Someone is waiting for the connection: an attempt now while retrying, unless one was
    // made within the last second.
    void hurry();
    bool retrying() const { return timer_.isActive(); }

    static constexpr int firstPauseMs = 250;
    static constexpr int longestPauseMs = 4000;

private:
    void tryOnce();

    std::function<bool()> attempt_;
    QTimer timer_;
    QElapsedTimer lastAttempt_;
};
