#include "platform/ScreenGeometry.h"
#include "fakes/FakeScreens.h"

#include <gtest/gtest.h>

TEST(ScreenGeometry, FlipsAboutTheMainScreensBottomEdge) {
    // Main screen at Qt's origin, 900 high.
    const ScreenGeometry plain(QPointF(0, 0), 900);
    EXPECT_EQ(plain.toTopLeft(QRectF(1396, 317.5, 32, 240)), QRectF(1396, 342.5, 32, 240));
    EXPECT_EQ(plain.toBottomLeft(QRectF(0, 0, 1440, 900)), QRectF(0, 0, 1440, 900));
    EXPECT_EQ(plain.toBottomLeft(QRectF(0, 0, 100, 25)), QRectF(0, 875, 100, 25));

    // Main screen right of and below another: its own bottom-left corner is still (0, 0).
    const ScreenGeometry offset(QPointF(1920, 300), 1080);
    EXPECT_EQ(offset.toBottomLeft(QRectF(1920, 300, 2560, 1080)), QRectF(0, 0, 2560, 1080));
    EXPECT_EQ(offset.toBottomLeft(QRectF(0, 0, 1920, 1200)), QRectF(-1920, 180, 1920, 1200));
    for (const QRectF& r : {QRectF(10.5, -20, 32, 240), QRectF(-3000, 4000, 240, 32)})
        EXPECT_EQ(offset.toBottomLeft(offset.toTopLeft(r)), r);

    FakeScreens screens;
    EXPECT_EQ(ScreenGeometry::current(screens).toTopLeft(QRectF(0, 0, 10, 10)),
              QRectF(0, 890, 10, 10));
}
