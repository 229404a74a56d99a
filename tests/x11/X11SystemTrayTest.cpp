#include "platform/linux/x11/X11SystemTray.h"
#include "x11/X11Harness.h"

TEST(X11SystemTray, TheTraysPublishedForegroundColourAndNothingElse) {
    REQUIRE_X11();
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "no tray at all";
    X11Client panel; // owns the tray selection, as a panel's tray does
    const xcb_window_t tray = panel.window();
    xcb_set_selection_owner(panel.c, tray, panel.atom("_NET_SYSTEM_TRAY_S0"), XCB_CURRENT_TIME);
    panel.sync();
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "a tray that says nothing";
    // Foreground, error, warning, success: red, green, blue each, 0..65535.
    const quint32 colors[12] = {65535, 32896, 0, 65535, 0, 0, 65535, 65535, 0, 0, 65535, 0};
    panel.set(tray, "_NET_SYSTEM_TRAY_COLORS", XCB_ATOM_CARDINAL, 32, 12, colors);
    EXPECT_EQ(x11SystemTrayForegroundColor(), QColor(255, 128, 0));
    panel.set(tray, "_NET_SYSTEM_TRAY_COLORS", XCB_ATOM_STRING, 8, 6, "white");
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "not cardinals";
    xcb_destroy_window(panel.c, tray);
    panel.sync();
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "the tray went away";
}
