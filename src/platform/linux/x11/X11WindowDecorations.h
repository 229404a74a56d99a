#pragma once

#include "platform/WindowDecorations.h"

// EWMH states on Qt's own X11 connection. On other window systems (Wayland, offscreen) there
// is nothing to add, and the compositor draws translucency.
class X11WindowDecorations : public WindowDecorations {
public:
    void prepareFloatingPanel(QWidget& window) override;
    bool isCompositing() const override;
    Qt::WindowType floatingPanelType() const override;
    bool startWindowMove(QWidget& window, const QPoint& pressPosition) override;
    std::optional<QPoint> windowPosition(const QWidget& window) const override;
};
