#include "platform/ScreenGeometry.h"

#include "platform/Screens.h"

ScreenGeometry ScreenGeometry::current(const Screens& screens) {
    const auto main = screens.mainScreen();
    return ScreenGeometry(screens.mainScreenTopLeft(), main ? main->frame.height() : 0);
}
