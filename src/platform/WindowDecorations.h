#pragma once

#include <QPoint>
#include <Qt>
#include <optional>

class QWidget;

// What a floating tool window needs from the window system beyond Qt's window flags.
class WindowDecorations {
public:
    virtual ~WindowDecorations() = default;

    // Before the window is first shown (its native window exists): keep it out of the taskbar
    // and the pager, and show it on every desktop.
    virtual void prepareFloatingPanel(QWidget& window) = 0;
    // Whether windowPosition and Qt's geometry follow where the window system shows a window;
    // a place read where they do not must not be stored.
    virtual bool tellsWindowPlaces() const { return true; }
    // The window type a floating tool window is made with.
    virtual Qt::WindowType floatingPanelType() const { return Qt::Tool; }
    // Whether a compositing manager shows translucent pixels as such. Without one they come
    // out black, so rounded windows need a shape.
    virtual bool isCompositing() const = 0;
    // Hands a drag of the window to the window manager, with the pointer still down since it was
    // pressed at pressPosition (global). The manager moves the window by the pointer's travel
    // from there, so the grabbed point stays under the pointer. False when it cannot.
    virtual bool startWindowMove(QWidget& window, const QPoint& pressPosition) = 0;
    // Where the window system has the window's top-left corner now (global, top-left origin),
    // when it can tell. Qt's own idea can lag behind a window manager's placement or move.
    virtual std::optional<QPoint> windowPosition(const QWidget&) const { return std::nullopt; }
    // Before a menu is first shown: it takes the keyboard even while another program has the
    // focus, and closes when the focus moves on, as far as the window system lets a program.
    virtual void prepareMenuForKeyboard(QWidget&) {}
};
