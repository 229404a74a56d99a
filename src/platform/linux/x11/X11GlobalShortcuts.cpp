#include "platform/linux/x11/X11GlobalShortcuts.h"

#include "platform/linux/x11/X11Connection.h"

#include <QCoreApplication>

#include <xcb/xcb_keysyms.h>

namespace {
// Caps Lock and Num Lock change the state a key press reports; a grab is made for each mix.
constexpr uint16_t lockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                  XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint16_t ignoredMasks = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
} // namespace

X11GlobalShortcuts::X11GlobalShortcuts(xcb_connection_t* connection) : connection_(connection) {
    if (!connection_)
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int n = x11ScreenNumber(); screens.rem && n > 0; --n)
        xcb_screen_next(&screens);
    if (screens.rem)
        root_ = screens.data->root;
    symbols_ = xcb_key_symbols_alloc(connection_);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalShortcuts::~X11GlobalShortcuts() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    releaseAll();
    if (symbols_)
        xcb_key_symbols_free(symbols_);
}

uint32_t X11GlobalShortcuts::keysymForKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return uint32_t(key - Qt::Key_A + 'a');
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return uint32_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return uint32_t(0xffbe + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Escape:
        return 0xff1b;
    case Qt::Key_Tab:
        return 0xff09;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Return:
        return 0xff0d;
    case Qt::Key_Insert:
        return 0xff63;
    case Qt::Key_Delete:
        return 0xffff;
    case Qt::Key_Pause:
        return 0xff13;
    case Qt::Key_Print:
        return 0xff61;
    case Qt::Key_Home:
        return 0xff50;
    case Qt::Key_End:
        return 0xff57;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    case Qt::Key_PageUp:
        return 0xff55;
    case Qt::Key_PageDown:
        return 0xff56;
    default:
        return 0;
    }
}

uint16_t X11GlobalShortcuts::modifierMask(Qt::KeyboardModifiers modifiers) {
    uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

void X11GlobalShortcuts::releaseAll() {
    if (!connection_ || root_ == XCB_WINDOW_NONE)
        return;
    for (const Grab& grab : std::as_const(grabs_))
        for (uint16_t lock : lockMasks)
            xcb_ungrab_key(connection_, grab.keycode, root_, uint16_t(grab.modifiers | lock));
    grabs_.clear();
    xcb_flush(connection_);
}

void X11GlobalShortcuts::setShortcuts(const QMap<QString, QKeySequence>& shortcuts) {
    releaseAll();
    heldElsewhere_.clear();
    if (!connection_ || root_ == XCB_WINDOW_NONE || !symbols_) {
        Q_EMIT stateChanged();
        return;
    }
    // Key codes may have moved since the last binding (another keyboard layout).
    xcb_key_symbols_free(symbols_);
    symbols_ = xcb_key_symbols_alloc(connection_);
    for (auto it = shortcuts.cbegin(); it != shortcuts.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        const QKeyCombination combination = it.value()[0];
        const uint32_t keysym = keysymForKey(combination.key());
        xcb_keycode_t* codes = keysym ? xcb_key_symbols_get_keycode(symbols_, keysym) : nullptr;
        if (!codes || codes[0] == XCB_NO_SYMBOL) {
            std::free(codes);
            heldElsewhere_ << it.key();
            continue;
        }
        Grab grab{it.key(), codes[0], modifierMask(combination.keyboardModifiers())};
        std::free(codes);
        bool refused = false;
        QList<xcb_void_cookie_t> cookies;
        for (uint16_t lock : lockMasks)
            cookies << xcb_grab_key_checked(connection_, 1, root_, uint16_t(grab.modifiers | lock),
                                            grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        for (xcb_void_cookie_t cookie : cookies) {
            if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
                refused = true;
                std::free(error);
            }
        }
        grabs_ << grab;
        if (refused)
            heldElsewhere_ << it.key();
    }
    xcb_flush(connection_);
    Q_EMIT stateChanged();
}

GlobalShortcuts::State X11GlobalShortcuts::state(const QString& name) const {
    return heldElsewhere_.contains(name) ? State::heldElsewhere : State::bound;
}

bool X11GlobalShortcuts::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || grabs_.isEmpty())
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->event != root_)
        return false;
    const uint16_t modifiers = press->state & ~ignoredMasks & 0xff;
    for (const Grab& grab : std::as_const(grabs_)) {
        if (grab.keycode == press->detail && grab.modifiers == modifiers &&
            !heldElsewhere_.contains(grab.name)) {
            // The press holds the keyboard until its key is released; a menu opened meanwhile
            // would lose its own grab then and close. So the keyboard is let go first.
            xcb_ungrab_keyboard(connection_, press->time);
            xcb_flush(connection_);
            QMetaObject::invokeMethod(
                this, [this, name = grab.name] { Q_EMIT activated(name); }, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}
