#include "platform/linux/x11/SwayMenuFocus.h"

#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/x11/X11Connection.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

namespace {
constexpr quint32 kRunCommand = 0;
constexpr quint32 kSubscribe = 2;
constexpr quint32 kWindowEvent = 0x80000003;
// The window to go back to is marked in sway's tree; marks starting with "_" are not drawn.
const QString kReturnMark = QStringLiteral("_pelora_menu_return");
} // namespace

SwayMenuFocus::SwayMenuFocus(QObject* parent) : XWaylandMenuFocus(parent) {
    connect(&socket_, &QLocalSocket::readyRead, this, &SwayMenuFocus::readMessages);
    connect(&socket_, &QLocalSocket::connected, this,
            [this] { send(kSubscribe, QByteArrayLiteral("[\"window\"]")); });
}

void SwayMenuFocus::connectToSway() {
    if (socket_.state() != QLocalSocket::UnconnectedState)
        return;
    received_.clear();
    socket_.connectToServer(qEnvironmentVariable("SWAYSOCK"));
}

void SwayMenuFocus::setPanel(QWidget* panel) {
    XWaylandMenuFocus::setPanel(panel);
    connectToSway();
}

void SwayMenuFocus::send(quint32 type, const QByteArray& payload) {
    if (socket_.state() != QLocalSocket::ConnectedState)
        return;
    socket_.write(SwayIpc::frame(type, payload));
}

void SwayMenuFocus::runCommand(const QString& command) {
    send(kRunCommand, command.toUtf8());
}

void SwayMenuFocus::focusPanel(quint32 panel, bool replacing) {
    connectToSway();
    const QString focus = QStringLiteral("[id=%1] focus").arg(panel);
    runCommand(replacing ? focus : QStringLiteral("mark --add %1; %2").arg(kReturnMark, focus));
}

void SwayMenuFocus::prepareMenuWithoutPanel(QWidget& menu) {
    connectToSway();
    // A popup without a menu's window type is one sway gives the keyboard to while it shows,
    // and takes back from when it goes.
    if (xcb_connection_t* c = qtX11Connection()) {
        xcb_delete_property(c, xcb_window_t(menu.winId()), internAtom(c, "_NET_WM_WINDOW_TYPE"));
        xcb_flush(c);
    }
}

bool SwayMenuFocus::panelHasFocus() const {
    const quint32 panel = panelWindow();
    return panel && focused_ == panel;
}

void SwayMenuFocus::giveBack() {
    runCommand(QStringLiteral("[con_mark=\"^%1$\"] focus; unmark %1").arg(kReturnMark));
}

void SwayMenuFocus::forgetReturn() {
    runCommand(QStringLiteral("unmark %1").arg(kReturnMark));
}

void SwayMenuFocus::readMessages() {
    received_ += socket_.readAll();
    bool broken = false;
    while (const auto message = SwayIpc::takeMessage(received_, broken)) {
        if (message->type != kWindowEvent)
            continue;
        const QJsonObject event = QJsonDocument::fromJson(message->payload).object();
        if (event.value(QStringLiteral("change")).toString() == u"focus")
            focusChanged(event.value(QStringLiteral("container"))
                             .toObject()
                             .value(QStringLiteral("window"))
                             .toInteger());
    }
    if (broken) {
        // Not sway speaking: nothing more is read from it.
        socket_.abort();
        received_.clear();
    }
}

void SwayMenuFocus::focusChanged(qint64 window) {
    focused_ = window;
    if (!panelHasFocus())
        focusMovedAway();
}
