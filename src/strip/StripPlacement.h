#pragma once

#include "platform/Screens.h"
#include "platform/UserDefaults.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <optional>

class Screens;
class StripPanel;
class UserDefaults;
class WindowDecorations;

// The strip's frame in bottom-left screen coordinates, "{{x, y}, {w, h}}". Only the origin is
// used when restoring; the size comes from the content.
extern const DefaultsKey<QString> stripWindowFrameKey;

// Where the strip window goes and keeps its place across runs: the stored origin kept whole on
// the screen it overlaps most, the frame stored whenever the user moves the window, and the
// window kept on its screen when its content changes size. Main thread.
class StripPlacement : public QObject {
    Q_OBJECT
public:
    explicit StripPlacement(UserDefaults& defaults, Screens& screens,
                            WindowDecorations& windowDecorations, QObject* parent = nullptr);

    // Frames here are in Qt's coordinates; only the stored key has its own.
    // Where a new window of this size goes: the stored origin kept inside the best screen,
    // else 12 points in from the right edge of the main screen's visible area, centred.
    QRectF initialFrame(const QSizeF& size) const;
    // The screen whose visible area overlaps the rectangle most; the earlier one on a tie.
    std::optional<ScreenInfo> screenBestContaining(const QRectF& rect) const;
    // The window system's constraint: the whole frame inside the screen's visible area.
    static QRectF constrainFrameRect(const QRectF& frame, const ScreenInfo& screen);

    // From now on stores the window's moves and keeps it whole on screen when it resizes
    // itself; also stores its frame when the program quits. Null stops following.
    void follow(StripPanel* window);
    // The followed window's frame; none without one.
    std::optional<QRectF> frame() const;
    // Stores the followed window's frame; nothing without one.
    void storeFrame();

private:
    void windowDidMove();
    void contentDidResize();
    // Stores a frame in the stored key's own coordinates.
    void writeFrame(const QRectF& frame);

    UserDefaults& defaults_;
    Screens& screens_;
    WindowDecorations& windowDecorations_;
    QPointer<StripPanel> window_;
    QMetaObject::Connection movedObserver_;
    QMetaObject::Connection resizedObserver_;
    QMetaObject::Connection willTerminateObserver_;
    // While the placement itself gives the window a frame.
    bool placingWindow_ = false;
};
