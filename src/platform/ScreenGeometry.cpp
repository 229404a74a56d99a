#include "platform/ScreenGeometry.h"

#include "platform/Screens.h"

ScreenGeometry ScreenGeometry::current(const Screens& screens) {
    const auto main = screens.mainScreen();
    return main ? ScreenGeometry(main->frame.topLeft(), main->frame.height())
                : ScreenGeometry(QPointF(), 0);
}
