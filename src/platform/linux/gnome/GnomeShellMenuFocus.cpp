#include "platform/linux/gnome/GnomeShellMenuFocus.h"

#include "platform/linux/x11/X11Connection.h"

#include <QDBusPendingCall>
#include <QTimer>

#include <array>
#include <cstring>

GnomeShellMenuFocus::GnomeShellMenuFocus(QDBusConnection bus, const QString& identifier,
                                         QObject* parent)
    : XWaylandMenuFocus(parent), bus_(std::move(bus)), extension_(identifier) {
    extension_.connect(bus_, QStringLiteral("KeyboardLost"), this, SLOT(keyboardLost()));
}

void GnomeShellMenuFocus::setAcceptsFocus(quint32 window, bool accepts) {
    xcb_connection_t* c = qtX11Connection();
    if (!c || !window)
        return;
    const auto hints = takeReply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr));
    std::array<quint32, 9> fields{};
    if (hints && hints->format == 32)
        std::memcpy(
            fields.data(), xcb_get_property_value(hints.get()),
            std::min<size_t>(sizeof fields, size_t(xcb_get_property_value_length(hints.get()))));
    fields[0] |= 1; // the input field is set
    fields[1] = accepts ? 1 : 0;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        fields.size(), fields.data());
    xcb_flush(c);
}

void GnomeShellMenuFocus::focusPanel(quint32 panel, bool) {
    // The extension keeps the window to go back to while one menu replaces another.
    if (lentTo_ != panel)
        release();
    lentTo_ = panel;
    setAcceptsFocus(panel, true);
    // Asked once the menu shows and holds XWayland's keyboard: a focus that reaches the strip
    // before the menu's grab leaves the menu without the keys.
    QTimer::singleShot(0, this, [this, panel] {
        if (lentTo_ == panel && menuShowing())
            // Nothing waits for the answer: without the extension the menu lacks the keyboard.
            bus_.asyncCall(extension_.call(QStringLiteral("TakeKeyboard"),
                                           {QVariant::fromValue(qulonglong(panel))}));
    });
}

void GnomeShellMenuFocus::release() {
    setAcceptsFocus(lentTo_, false);
    lentTo_ = 0;
}

void GnomeShellMenuFocus::giveBack() {
    release();
    bus_.asyncCall(extension_.call(QStringLiteral("ReturnKeyboard")));
}

void GnomeShellMenuFocus::keyboardLost() {
    release();
    focusMovedAway();
}
