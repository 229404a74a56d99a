#include "platform/linux/QtPlatformChoice.h"

#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <QString>

namespace {
QStringList nativeLosses(const NativeWaylandSupport& support, bool x11) {
    QStringList losses;
    if (!support.clipboard)
        losses << QStringLiteral("no clipboard history: the compositor offers no data-control "
                                 "protocol");
    if (!support.windowList)
        losses << (x11 ? QStringLiteral("the Windows menu lists X11 programs only: the "
                                        "compositor lends Pelora no window list")
                       : QStringLiteral("no Windows menu: the compositor lends Pelora no window "
                                        "list"));
    if (!support.stayAbove)
        losses << QStringLiteral("the strip is not kept above other windows");
    return losses;
}
} // namespace

QtPlatformChoice chooseQtPlatform(const QtPlatformRequest& request,
                                  const std::function<NativeWaylandSupport()>& probe) {
    if (!request.wayland)
        return {};
    if (!request.commandLinePlatform.isEmpty()) {
        if (!request.commandLinePlatform.startsWith("wayland"))
            return {};
        return {{}, nativeLosses(probe(), request.x11)};
    }
    if (request.environmentPlatform.isEmpty())
        return {request.x11 ? QByteArray("xcb") : QByteArray(), {}};
    if (!request.environmentPlatform.startsWith("wayland"))
        return {};
    const NativeWaylandSupport support = probe();
    // Without data-control a native client sees no copy at all, while through XWayland it
    // reads the X11 clipboard the compositor keeps in step.
    if (!support.clipboard && request.x11)
        return {QByteArray("xcb"), {}};
    return {{}, nativeLosses(support, request.x11)};
}

NativeWaylandSupport probeNativeWaylandSupport() {
    NativeWaylandSupport support;
    const auto connection = WaylandConnection::open();
    if (!connection)
        return support;
    const auto offered = [&connection](const char* name) {
        return connection->global(name).name != 0;
    };
    support.clipboard =
        offered("ext_data_control_manager_v1") || offered("zwlr_data_control_manager_v1");
    // GNOME Shell lists its windows through Pelora's extension, which tells when it is missing.
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    support.windowList = offered("zwlr_foreign_toplevel_manager_v1") ||
                         offered("org_kde_plasma_window_management") || desktops.contains(u"GNOME");
    // sway takes commands over its IPC socket; KWin scripts over D-Bus.
    support.stayAbove = SwayIpc::isAvailable() || desktops.contains(u"KDE");
    return support;
}
