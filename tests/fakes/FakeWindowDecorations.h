#pragma once

#include "platform/WindowDecorations.h"

#include <QList>
#include <QPoint>
#include <QWidget>

// The test chooses whether a compositor runs; window moves asked for are recorded.
class FakeWindowDecorations : public WindowDecorations {
public:
    bool compositing = true;

    void prepareFloatingPanel(QWidget&) override {}
    bool isCompositing() const override { return compositing; }
    // Offscreen there is no window manager to hand a move to.
    bool startWindowMove(QWidget&, const QPoint& pressPosition) override {
        moveStarts << pressPosition;
        return false;
    }
    QList<QPoint> moveStarts;
};
