#include "platform/linux/X11SystemTray.h"
#include "x11/X11TestEnvironment.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A minimal tray manager on its own connection, as a panel would be: it owns the tray
// selection and may publish its colours.
class FakeTrayManager {
public:
    FakeTrayManager() : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(c_, window_, atom("_NET_SYSTEM_TRAY_S0"), XCB_CURRENT_TIME);
        sync();
    }
    ~FakeTrayManager() {
        xcb_destroy_window(c_, window_);
        sync();
        xcb_disconnect(c_);
    }

    // Foreground, error, warning, success: red, green, blue each, 0..65535.
    void publishColors(const std::array<uint32_t, 12>& colors) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_SYSTEM_TRAY_COLORS"),
                            XCB_ATOM_CARDINAL, 32, uint32_t(colors.size()), colors.data());
        sync();
    }
    void publishGarbage() {
        const char text[] = "white";
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_SYSTEM_TRAY_COLORS"),
                            XCB_ATOM_STRING, 8, sizeof text, text);
        sync();
    }

private:
    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_window_t window_;
};

} // namespace

TEST(X11SystemTray, TheTraysPublishedForegroundColourAndNothingElse) {
    if (!x11TestDisplayAvailable())
        GTEST_SKIP() << "no private X display";
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "no tray at all";
    {
        FakeTrayManager tray;
        EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "a tray that says nothing";
        tray.publishColors({65535, 32896, 0, 65535, 0, 0, 65535, 65535, 0, 0, 65535, 0});
        EXPECT_EQ(x11SystemTrayForegroundColor(), QColor(255, 128, 0));
        tray.publishGarbage();
        EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "not cardinals";
    }
    EXPECT_EQ(x11SystemTrayForegroundColor(), std::nullopt) << "the tray went away";
}
