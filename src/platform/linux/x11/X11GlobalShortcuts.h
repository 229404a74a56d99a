#pragma once

#include "platform/GlobalShortcuts.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

struct _XCBKeySymbols;

// Global shortcuts on an X11 session: a passive grab on the root window for each key, in each
// combination of the Caps Lock and Num Lock states, through Qt's own connection. A key that
// another client has grabbed already is reported as held elsewhere. Main thread.
class X11GlobalShortcuts : public GlobalShortcuts, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11GlobalShortcuts(xcb_connection_t* connection);
    ~X11GlobalShortcuts() override;

    void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) override;
    State state(const QString& name) const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X keysym for a Qt key, or 0 for a key this does not bind.
    static uint32_t keysymForKey(int key);
    // The X modifier mask for Qt's modifiers.
    static uint16_t modifierMask(Qt::KeyboardModifiers modifiers);

private:
    struct Grab {
        QString name;
        xcb_keycode_t keycode = 0;
        uint16_t modifiers = 0;
    };
    void releaseAll();

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    _XCBKeySymbols* symbols_ = nullptr;
    QList<Grab> grabs_;
    QStringList heldElsewhere_;
};
