#pragma once

#include "platform/WindowDecorations.h"

#include <QList>
#include <QWidget>

// Records the windows it prepared; the test chooses whether a compositor runs.
class FakeWindowDecorations : public WindowDecorations {
public:
    bool compositing = true;
    QList<QWidget*> prepared;

    void prepareFloatingPanel(QWidget& window) override { prepared << &window; }
    bool isCompositing() const override { return compositing; }
};
