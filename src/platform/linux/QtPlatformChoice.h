#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>

// What a compositor offers Pelora when Qt runs on it natively.
struct NativeWaylandSupport {
    bool clipboard = false;  // a data-control protocol
    bool windowList = false; // foreign-toplevel, or KWin's window list granted to Pelora
    bool stayAbove = false;  // a way to keep the strip above other windows (sway, KWin)
};

// How this process was started, as far as the choice of Qt's platform goes.
struct QtPlatformRequest {
    QByteArray environmentPlatform; // QT_QPA_PLATFORM
    QByteArray commandLinePlatform; // Qt's -platform argument
    bool wayland = false;           // WAYLAND_DISPLAY
    bool x11 = false;               // DISPLAY (XWayland in a Wayland session)
};

struct QtPlatformChoice {
    // The platform to set before Qt starts, or empty to leave Qt's own choice.
    QByteArray platform;
    // What the user goes without in the mode chosen, a sentence each, said at start.
    QStringList losses;
};

// Through XWayland, where it lets Pelora place its strip and its menus, unless the user chose
// otherwise. QT_QPA_PLATFORM=wayland may be a session's default rather than the user's choice:
// where the compositor gives a native client no clipboard, Pelora runs through XWayland
// anyway; -platform on the command line is always obeyed. The probe is asked only when needed.
QtPlatformChoice chooseQtPlatform(const QtPlatformRequest& request,
                                  const std::function<NativeWaylandSupport()>& probe);

// Asks the compositor of $WAYLAND_DISPLAY (one round trip) and the session what it offers.
NativeWaylandSupport probeNativeWaylandSupport();
