#pragma once

#include <QList>
#include <QRectF>
#include <optional>

// A screen in Qt's virtual-desktop coordinates (origin top-left, y growing downward).
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
};
