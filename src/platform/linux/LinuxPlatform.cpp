#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/BridgedPasteboard.h"
#include "platform/linux/LinuxBundle.h"
#include "platform/linux/LinuxDialogs.h"
#include "platform/linux/QtScreens.h"
#include "platform/linux/files/CborUserDefaults.h"
#include "platform/linux/files/LinuxBookmarkService.h"
#include "platform/linux/files/LinuxFileSystem.h"
#include "platform/linux/gnome/GnomeShellMenuFocus.h"
#include "platform/linux/gnome/GnomeShellShortcuts.h"
#include "platform/linux/gnome/GnomeShellWindows.h"
#include "platform/linux/kde/KGlobalAccelShortcuts.h"
#include "platform/linux/wayland/KWinWindowDecorations.h"
#include "platform/linux/wayland/SwayGlobalShortcuts.h"
#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/WaylandDataControl.h"
#include "platform/linux/wayland/WaylandPasteboard.h"
#include "platform/linux/wayland/WaylandPlasmaWindows.h"
#include "platform/linux/wayland/WlrForeignToplevels.h"
#include "platform/linux/x11/SwayMenuFocus.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11GlobalShortcuts.h"
#include "platform/linux/x11/X11Pasteboard.h"
#include "platform/linux/x11/X11RunningApplications.h"
#include "platform/linux/x11/X11WindowDecorations.h"
#include "platform/linux/xdg/GioWorkspace.h"
#include "platform/linux/xdg/XbelRecentItemsIndex.h"
#include "platform/linux/xdg/XdgAutostartLoginItems.h"

#include <QGuiApplication>

namespace {
bool isKdeSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(u"KDE");
}

// The compositor's window list: the wlroots one, or KWin's where that is all there is or the
// session is Plasma's. Null when neither is offered to this program.
std::shared_ptr<RunningApplications> waylandWindowList() {
    auto wlr = std::make_shared<WlrForeignToplevels>();
    if (wlr->isAvailable() && !isKdeSession())
        return wlr;
    if (auto plasma = std::make_shared<WaylandPlasmaWindows>(); plasma->isAvailable())
        return plasma;
    if (wlr->isAvailable())
        return wlr;
    return nullptr;
}

bool isWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland";
}

bool isGnomeWaylandSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':').contains(u"GNOME") &&
           isWaylandSession();
}

// Keys the desktop passes on whichever window has the focus. An X11 grab made through
// XWayland fires only while an X11 window has the focus, so it serves X11 sessions alone;
// sway binds keys at run time over its IPC, GNOME Shell through Pelora's extension, Plasma
// through its shortcut service (listed in its settings too); elsewhere the user binds the
// command.
std::shared_ptr<GlobalShortcuts> globalShortcuts(const QString& executable,
                                                 const QString& identifier) {
    if (SwayIpc::isAvailable())
        return std::make_shared<SwayGlobalShortcuts>(executable);
    if (isGnomeWaylandSession())
        return std::make_shared<GnomeShellShortcuts>(QDBusConnection::sessionBus(), identifier);
    if (isWaylandSession() && isKdeSession())
        return std::make_shared<KGlobalAccelShortcuts>(QDBusConnection::sessionBus(), identifier,
                                                       QStringLiteral("Pelora"));
    if (xcb_connection_t* x11 = qtX11Connection();
        x11 && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::make_shared<X11GlobalShortcuts>(x11);
    return std::make_shared<ManualGlobalShortcuts>();
}

// How a menu, an XWayland popup, is given the keyboard while a Wayland window has the focus.
std::unique_ptr<XWaylandMenuFocus> xwaylandMenuFocus(const QString& identifier) {
    if (!qtX11Connection())
        return nullptr;
    if (SwayIpc::isAvailable())
        return std::make_unique<SwayMenuFocus>();
    if (isGnomeWaylandSession())
        return std::make_unique<GnomeShellMenuFocus>(QDBusConnection::sessionBus(), identifier);
    return nullptr;
}
} // namespace

Platform makeLinuxPlatform() {
    Platform platform;
    auto bundle = std::make_shared<LinuxBundle>(LinuxBundle::currentExecutablePath());
    platform.bundle = bundle;
    const QString identifier = bundle->infoValue(QStringLiteral("CFBundleIdentifier"))
                                   .value_or(QStringLiteral("org.pelora.Pelora"));
    platform.defaults = std::make_shared<CborUserDefaults>();
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.bookmarks = std::make_shared<LinuxBookmarkService>();
    // A wlroots compositor or KWin lists every window, its own clients' too; elsewhere the X
    // server lists its clients (all of them on X11, XWayland's in a GNOME session). GNOME
    // Shell shows its windows only to extensions: Pelora's own lists them while it answers.
    std::shared_ptr<RunningApplications> windowSystem = waylandWindowList();
    if (!windowSystem)
        windowSystem = std::make_shared<X11RunningApplications>();
    std::shared_ptr<RunningApplications> running = windowSystem;
    if (isGnomeWaylandSession())
        running = std::make_shared<GnomeShellWindows>(identifier, windowSystem);
    platform.runningApplications = running;
    platform.workspace = std::make_shared<GioWorkspace>(running);
    // The record lets the lists go before the bundle and the workspace their identity reads.
    // GNOME's list answers from the X server's while the shell's extension is away.
    const auto identity = std::make_shared<PeloraIdentity>(*bundle, *platform.workspace);
    running->identifyPeloraBy(identity);
    windowSystem->identifyPeloraBy(identity);
    // The compositor's clipboard-manager protocol sees every copy of a Wayland program,
    // whichever window has the focus; through XWayland the X11 selection is watched beside it,
    // for X11 programs' copies the compositor does not pass on. Without it (GNOME, X11) Qt's
    // clipboard through the X server.
    if (auto control = std::make_shared<WaylandDataControl>(); control->isAvailable()) {
        platform.pasteboard = std::make_shared<WaylandPasteboard>(std::move(control));
        if (qtX11Connection())
            platform.pasteboard = std::make_shared<BridgedPasteboard>(
                platform.pasteboard, std::make_shared<X11Pasteboard>());
    } else {
        platform.pasteboard = std::make_shared<X11Pasteboard>();
    }
    platform.recentItemsIndex = std::make_shared<XbelRecentItemsIndex>();
    platform.dialogs = std::make_shared<LinuxDialogs>();
    platform.screens = std::make_shared<QtScreens>();
    if (isKdeSession() && QGuiApplication::platformName().startsWith(u"wayland"))
        platform.windowDecorations = std::make_shared<KWinWindowDecorations>();
    else
        platform.windowDecorations =
            std::make_shared<X11WindowDecorations>(xwaylandMenuFocus(identifier));
    platform.globalShortcuts = globalShortcuts(bundle->executablePath(), identifier);
    // The session starts the bundle's own executable, wherever the bundle was installed.
    platform.loginItems = std::make_shared<XdgAutostartLoginItems>(
        bundle->executablePath(),
        bundle->infoValue(QStringLiteral("CFBundleName")).value_or(QStringLiteral("Pelora")));
    return platform;
}
