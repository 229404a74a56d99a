#pragma once

#include "platform/Screens.h"

class FakeScreens : public Screens {
public:
    // A menu bar at the top, in Qt's coordinates.
    QList<ScreenInfo> list{{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};

    QList<ScreenInfo> screens() const override { return list; }
    std::optional<ScreenInfo> mainScreen() const override {
        return list.isEmpty() ? std::nullopt : std::optional(list.first());
    }
};
