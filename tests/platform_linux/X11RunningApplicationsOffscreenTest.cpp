#include "fakes/FakeRunningApplications.h"
#include "platform/linux/X11RunningApplications.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QWidget>
#include <gtest/gtest.h>

// Without an X server (offscreen here, Wayland elsewhere) the service answers "nothing runs"
// and every request fails quietly.
TEST(X11RunningApplicationsOffscreen, ReportsNothingAndNeverCrashes) {
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    X11RunningApplications running;
    int activations = 0;
    QObject::connect(&running, &RunningApplications::applicationActivated,
                     [&](const RunningApplication&) { ++activations; });
    QWidget window;
    window.show();
    window.activateWindow();
    drainEvents();

    EXPECT_FALSE(running.isAvailable());
    EXPECT_TRUE(running.runningApplications().isEmpty());
    EXPECT_FALSE(running.frontmostApplication());
    const RunningApplication app =
        makeRunningApplication(QStringLiteral("Editor"), QStringLiteral("editor.desktop"),
                               QStringLiteral("/a/editor.desktop"));
    EXPECT_FALSE(running.hide(app));
    EXPECT_FALSE(running.unhide(app));
    EXPECT_FALSE(running.activate(app));
    running.activateCurrentApplication();
    drainEvents();
    EXPECT_EQ(activations, 0);
}
