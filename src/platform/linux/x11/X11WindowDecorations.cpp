#include "platform/linux/x11/X11WindowDecorations.h"

#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/XWaylandMenuFocus.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
xcb_window_t rootWindow(xcb_connection_t* c) {
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int n = x11ScreenNumber(); n > 0 && it.rem > 1; --n)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data->root : xcb_window_t(XCB_NONE);
}

bool managerSupports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t wanted) {
    const auto cookie =
        xcb_get_property(c, 0, root, internAtom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096);
    const auto reply = takeReply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, wanted) != atoms + count;
}
// The name the window manager gives itself (EWMH's supporting window), or empty.
QByteArray windowManagerName(xcb_connection_t* c, xcb_window_t root) {
    const auto check = takeReply(xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, root, internAtom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0,
                         1),
        nullptr));
    if (!check || check->format != 32 || xcb_get_property_value_length(check.get()) < 4)
        return {};
    const auto wm = *static_cast<const xcb_window_t*>(xcb_get_property_value(check.get()));
    const auto name = takeReply(xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, wm, internAtom(c, "_NET_WM_NAME"), XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
        nullptr));
    if (!name || name->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(name.get())),
                      xcb_get_property_value_length(name.get()));
}

// sway centres a floating X11 window when it maps it and ignores where the window asked to be
// (the X server is still told the asked place). Once shown, sway is told the place itself.
class SwayPlacement : public QObject {
public:
    SwayPlacement(QWindow* window, QPoint place, SwayIpc& sway)
        : QObject(window), sway_(sway), place_(place) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window->isExposed()) {
            window->removeEventFilter(this);
            place(window->winId());
        }
        return false;
    }

private:
    // sway may not manage the window yet when it first shows: asked again a little later
    // while it answers that no window matched. A sway that does not answer is not asked again.
    void place(WId id) {
        const QString command = QStringLiteral("[id=%1] move absolute position %2 %3")
                                    .arg(id)
                                    .arg(place_.x())
                                    .arg(place_.y());
        sway_.send({command}, this, [this, id](const SwayIpc::Reply& reply) {
            if (!reply.answered || reply.allSucceeded() || ++attempts_ >= kAttempts) {
                deleteLater();
                return;
            }
            QTimer::singleShot(kRetryMs, this, [this, id] { place(id); });
        });
    }

    static constexpr int kAttempts = 20;
    static constexpr int kRetryMs = 50;
    SwayIpc& sway_;
    QPoint place_;
    int attempts_ = 0;
};

} // namespace

void X11WindowDecorations::prepareFloatingPanel(QWidget& window) {
    xcb_connection_t* c = qtX11Connection();
    if (!c)
        return;
    const auto id = xcb_window_t(window.winId());
    // Qt's own window flags give "above" and the utility type but leave the panel in the
    // taskbar and the pager. Qt merges these with its states when it maps the window.
    const xcb_atom_t states[] = {
        internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
        internAtom(c, "_NET_WM_STATE_SKIP_PAGER"),
        internAtom(c, "_NET_WM_STATE_STICKY"),
    };
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, internAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM,
                        32, std::size(states), states);
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, internAtom(c, "_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(c);
    if (SwayIpc::isAvailable() && window.windowHandle())
        new SwayPlacement(window.windowHandle(), window.geometry().topLeft(), sway_);
    if (menuFocus_)
        menuFocus_->setPanel(&window);
}

bool X11WindowDecorations::isWeston() const {
    if (!weston_) {
        xcb_connection_t* c = qtX11Connection();
        weston_ = c && windowManagerName(c, rootWindow(c)) == "Weston WM";
    }
    return *weston_;
}

Qt::WindowType X11WindowDecorations::floatingPanelType() const {
    // Qt raises a tool window as it shows it, before it is mapped; weston answers any
    // configure request of a window not yet mapped by moving it to its frame's corner, where it
    // then maps it, and draws a utility window only once it is clicked.
    return isWeston() ? Qt::Window : Qt::Tool;
}

bool X11WindowDecorations::tellsWindowPlaces() const {
    // weston shows a window where it maps it, but may leave its frame at the X server's origin
    // for as long as it stays there: the window then reads as being at the frame's corner.
    return !isWeston();
}

bool X11WindowDecorations::isCompositing() const {
    xcb_connection_t* c = qtX11Connection();
    if (!c)
        return true;
    const xcb_atom_t selection =
        internAtom(c, "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber()));
    if (selection == XCB_ATOM_NONE)
        return false;
    const auto reply =
        takeReply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return reply && reply->owner != XCB_NONE;
}

bool X11WindowDecorations::startWindowMove(QWidget& window, const QPoint& pressPosition) {
    xcb_connection_t* c = qtX11Connection();
    if (!c)
        return false;
    const xcb_window_t root = rootWindow(c);
    const xcb_atom_t moveResize = internAtom(c, "_NET_WM_MOVERESIZE");
    if (root == XCB_NONE || !managerSupports(c, root, moveResize))
        return false;
    const qreal scale = window.devicePixelRatioF();
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window.winId());
    event.type = moveResize;
    event.data.data32[0] = uint32_t(qRound(pressPosition.x() * scale));
    event.data.data32[1] = uint32_t(qRound(pressPosition.y() * scale));
    event.data.data32[2] = 8; // _NET_WM_MOVERESIZE_MOVE
    event.data.data32[3] = XCB_BUTTON_INDEX_1;
    event.data.data32[4] = 1; // a normal application asks
    // The press grabbed the pointer for us; the manager needs it.
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}

std::optional<QPoint> X11WindowDecorations::windowPosition(const QWidget& window) const {
    xcb_connection_t* c = qtX11Connection();
    if (!c || !window.windowHandle() || !window.testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    const auto id = xcb_window_t(window.winId());
    const auto reply = takeReply(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, id, rootWindow(c), 0, 0), nullptr));
    if (!reply)
        return std::nullopt;
    // Physical pixels on the wire; Qt's widget geometry is in device-independent pixels.
    const qreal ratio = window.devicePixelRatioF();
    return QPoint(qRound(reply->dst_x / ratio), qRound(reply->dst_y / ratio));
}

X11WindowDecorations::X11WindowDecorations(std::unique_ptr<XWaylandMenuFocus> menuFocus)
    : menuFocus_(std::move(menuFocus)) {}

X11WindowDecorations::~X11WindowDecorations() = default;

void X11WindowDecorations::prepareMenuForKeyboard(QWidget& menu) {
    if (menuFocus_)
        menuFocus_->prepareMenu(menu);
}
