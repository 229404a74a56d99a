#include "platform/linux/x11/X11SystemTray.h"

#include "platform/linux/x11/X11Connection.h"

#include <QByteArray>

#include <algorithm>

std::optional<QColor> x11SystemTrayForegroundColor() {
    xcb_connection_t* c = qtX11Connection();
    if (!c)
        return std::nullopt;
    const xcb_atom_t selection =
        internAtom(c, "_NET_SYSTEM_TRAY_S" + QByteArray::number(x11ScreenNumber()));
    if (selection == XCB_ATOM_NONE)
        return std::nullopt;
    const auto owner =
        takeReply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return std::nullopt;

    // Twelve cardinals: foreground, error, warning and success, each red, green, blue in
    // 0..65535. Only the foreground is wanted.
    const xcb_atom_t colors = internAtom(c, "_NET_SYSTEM_TRAY_COLORS");
    const auto reply = takeReply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, owner->owner, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 3 * 4)
        return std::nullopt;
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    auto channel = [](uint32_t v) {
        return quint16(std::min<uint32_t>(v, 0xffff));
    };
    return QColor(
        QRgba64::fromRgba64(channel(values[0]), channel(values[1]), channel(values[2]), 0xffff));
}
