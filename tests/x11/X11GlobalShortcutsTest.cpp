#include "platform/linux/x11/X11GlobalShortcuts.h"
#include "platform/linux/x11/X11Connection.h"
#include "x11/X11Harness.h"

#include <QSignalSpy>

#include <xcb/xcb_keysyms.h>

namespace {
// A key press as the user makes it, through the X server's test extension.
bool pressKeys(const char* keys) {
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("key"), QLatin1String(keys)}) == 0;
}
} // namespace

TEST(X11GlobalShortcuts, AGrabbedKeyFiresInAnyLockStateAndAKeyHeldElsewhereIsReported) {
    REQUIRE_X11();
    X11GlobalShortcuts shortcuts(qtX11Connection());
    QSignalSpy activated(&shortcuts, &GlobalShortcuts::activated);
    const QKeySequence clipboardKey(QStringLiteral("Meta+Shift+V"));
    const QKeySequence windowsKey(QStringLiteral("Ctrl+Alt+F7"));

    // Another program holds Ctrl+Alt+F7 (without Caps Lock, as most grab it).
    X11Client other;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other.c);
    xcb_keycode_t* f7 = xcb_key_symbols_get_keycode(symbols, 0xffc4);
    ASSERT_TRUE(f7);
    xcb_grab_key(other.c, 1, other.root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, f7[0],
                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    other.sync();

    shortcuts.setShortcuts({{"clipboard", clipboardKey}, {"windows", windowsKey}});
    EXPECT_EQ(shortcuts.state("clipboard"), GlobalShortcuts::State::bound);
    EXPECT_EQ(shortcuts.state("windows"), GlobalShortcuts::State::heldElsewhere);

    ASSERT_TRUE(pressKeys("super+shift+v"));
    ASSERT_TRUE(waitUntil([&] { return activated.count() == 1; }));
    EXPECT_EQ(activated.takeFirst().at(0).toString(), "clipboard");
    // With Num Lock on, the same key.
    ASSERT_TRUE(pressKeys("Num_Lock"));
    ASSERT_TRUE(pressKeys("super+shift+v"));
    ASSERT_TRUE(pressKeys("Num_Lock"));
    ASSERT_TRUE(waitUntil([&] { return activated.count() == 1; }));

    // Released: the other program may take the key, and pressing it reaches no one here.
    shortcuts.setShortcuts({});
    xcb_keycode_t* v = xcb_key_symbols_get_keycode(symbols, 'v');
    ASSERT_TRUE(v);
    xcb_generic_error_t* error = xcb_request_check(
        other.c, xcb_grab_key_checked(other.c, 1, other.root, XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT,
                                      v[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    EXPECT_EQ(error, nullptr);
    std::free(error);
    std::free(v);
    std::free(f7);
    xcb_key_symbols_free(symbols);
}
