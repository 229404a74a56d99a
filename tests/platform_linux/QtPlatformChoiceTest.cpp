#include "platform/linux/QtPlatformChoice.h"

#include <gtest/gtest.h>

TEST(QtPlatformChoice, NativeOnlyWhereTheCompositorLetsItWork) {
    const NativeWaylandSupport none, kwinWithoutGrant{true, false, true}, sway{true, true, true};
    const struct {
        const char* what;
        QtPlatformRequest request;
        NativeWaylandSupport support;
        const char* platform;
        QStringList losses; // the first word of each
    } cases[] = {
        {"X11 session", {"", "", false, true}, none, "", {}},
        {"Wayland session", {"", "", true, true}, none, "xcb", {}},
        {"GNOME or weston, session default", {"wayland", "", true, true}, none, "xcb", {}},
        {"no XWayland to fall back on",
         {"wayland", "", true, false},
         none,
         "",
         {"no", "no", "the"}},
        {"the user's -platform", {"", "wayland", true, true}, none, "", {"no", "the", "the"}},
        {"KWin without the grant", {"wayland;xcb", "", true, true}, kwinWithoutGrant, "", {"the"}},
        {"sway", {"wayland", "", true, true}, sway, "", {}},
    };
    for (const auto& c : cases) {
        const QtPlatformChoice choice = chooseQtPlatform(c.request, [&] { return c.support; });
        EXPECT_EQ(choice.platform, QByteArray(c.platform)) << c.what;
        QStringList firstWords;
        for (const QString& loss : choice.losses)
            firstWords << loss.section(u' ', 0, 0);
        EXPECT_EQ(firstWords, c.losses) << c.what;
    }
}
