#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/LinuxBookmarkService.h"
#include "platform/linux/LinuxBundle.h"
#include "platform/linux/LinuxDialogs.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxRecentItemsIndex.h"
#include "platform/linux/LinuxUserDefaults.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/QtPasteboard.h"
#include "platform/linux/QtScreens.h"
#include "platform/linux/WaylandDataControl.h"
#include "platform/linux/WaylandPasteboard.h"
#include "platform/linux/WaylandRunningApplications.h"
#include "platform/linux/X11RunningApplications.h"
#include "platform/linux/X11WindowDecorations.h"
#include "platform/linux/XdgAutostartLoginItems.h"

Platform makeLinuxPlatform() {
    Platform platform;
    auto bundle = std::make_shared<LinuxBundle>(LinuxBundle::currentExecutablePath());
    platform.bundle = bundle;
    platform.defaults = std::make_shared<LinuxUserDefaults>();
    platform.fileSystem = std::make_shared<LinuxFileSystem>();
    platform.bookmarks = std::make_shared<LinuxBookmarkService>();
    // A wlroots compositor lists every window, its own clients' too; elsewhere the X server
    // lists its clients (all of them on X11, XWayland's in a GNOME or Plasma session).
    std::shared_ptr<RunningApplications> running;
    if (auto wayland = std::make_shared<WaylandRunningApplications>(); wayland->isAvailable())
        running = std::move(wayland);
    else
        running = std::make_shared<X11RunningApplications>();
    platform.runningApplications = running;
    platform.workspace = std::make_shared<LinuxWorkspace>(running);
    // The compositor's clipboard-manager protocol sees every copy, whichever window has the
    // focus; without it (GNOME, X11) Qt's clipboard through the X server.
    if (auto control = std::make_shared<WaylandDataControl>(); control->isAvailable())
        platform.pasteboard = std::make_shared<WaylandPasteboard>(std::move(control));
    else
        platform.pasteboard = std::make_shared<QtPasteboard>();
    platform.recentItemsIndex = std::make_shared<LinuxRecentItemsIndex>();
    platform.dialogs = std::make_shared<LinuxDialogs>();
    platform.screens = std::make_shared<QtScreens>();
    platform.windowDecorations = std::make_shared<X11WindowDecorations>();
    // The session starts the bundle's own executable, wherever the bundle was installed.
    platform.loginItems = std::make_shared<XdgAutostartLoginItems>(
        bundle->executablePath(),
        bundle->infoValue(QStringLiteral("CFBundleName")).value_or(QStringLiteral("Pelora")));
    return platform;
}
