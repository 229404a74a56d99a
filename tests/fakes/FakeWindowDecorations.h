#pragma once

#include "platform/WindowDecorations.h"

#include <QList>
#include <QPoint>
#include <QWidget>
#include <optional>

// The test chooses whether a compositor runs and where the window manager has put the window;
// window moves asked for are recorded.
class FakeWindowDecorations : public WindowDecorations {
public:
    bool compositing = true;
    std::optional<QPoint> position;

    void prepareFloatingPanel(QWidget&) override {}
    bool isCompositing() const override { return compositing; }
    // Offscreen there is no window manager to hand a move to.
    bool startWindowMove(QWidget&, const QPoint& pressPosition) override {
        moveStarts << pressPosition;
        return false;
    }
    std::optional<QPoint> windowPosition(const QWidget&) const override { return position; }
    QList<QPoint> moveStarts;
};
