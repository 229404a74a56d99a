#pragma once

#include <QList>
#include <QRectF>
#include <optional>

// A screen in the program's coordinates: origin at the bottom-left of the main screen,
// y growing upward.
struct ScreenInfo {
    QRectF frame;
    QRectF visibleFrame; // without panels and docks

    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

class Screens {
public:
    virtual ~Screens() = default;

    // All screens, the main screen first.
    virtual QList<ScreenInfo> screens() const = 0;
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Where the main screen's top-left corner lies in the window system's coordinates (Qt's,
    // y downward); with the main screen's height it fixes the conversion of frames
    // (platform/ScreenGeometry.h).
    virtual QPointF mainScreenTopLeft() const { return {}; }
};
