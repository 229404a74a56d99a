#pragma once

#include "platform/WindowDecorations.h"
#include "platform/linux/wayland/SwayIpc.h"

#include <memory>

class XWaylandMenuFocus;

// EWMH states on Qt's own X11 connection. On other window systems (Wayland, offscreen) there
// is nothing to add, and the compositor draws translucency.
class X11WindowDecorations : public WindowDecorations {
public:
    // menuFocus: how a menu takes the keyboard under a Wayland compositor; none on X11.
    explicit X11WindowDecorations(std::unique_ptr<XWaylandMenuFocus> menuFocus = nullptr);
    ~X11WindowDecorations() override;

    void prepareFloatingPanel(QWidget& window) override;
    bool isCompositing() const override;
    Qt::WindowType floatingPanelType() const override;
    bool tellsWindowPlaces() const override;

private:
    // Asked once: the window manager is the session's.
    bool isWeston() const;
    mutable std::optional<bool> weston_;
    bool startWindowMove(QWidget& window, const QPoint& pressPosition) override;
    std::optional<QPoint> windowPosition(const QWidget& window) const override;
    void prepareMenuForKeyboard(QWidget& menu) override;

private:
    // Under sway, which places XWayland windows itself, it is told where the strip goes.
    SwayIpc sway_;
    std::unique_ptr<XWaylandMenuFocus> menuFocus_;
};
