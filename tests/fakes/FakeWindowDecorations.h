#pragma once

#include "platform/WindowDecorations.h"

#include <QList>
#include <QPoint>
#include <QWidget>

// Records the windows it prepared; the test chooses whether a compositor runs.
class FakeWindowDecorations : public WindowDecorations {
public:
    bool compositing = true;
    QList<QWidget*> prepared;

    void prepareFloatingPanel(QWidget& window) override { prepared << &window; }
    bool isCompositing() const override { return compositing; }
    // Offscreen there is no window manager to hand a move to.
    bool startWindowMove(QWidget&, const QPoint& pressPosition) override {
        moveStarts << pressPosition;
        return false;
    }
    QList<QPoint> moveStarts;
    // Where the window system has the window, when the test says so; it may differ from Qt's
    // idea, as a window manager's can until Qt hears of it.
    std::optional<QPoint> position;
    std::optional<QPoint> windowPosition(const QWidget&) const override { return position; }
};
