#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Pelora's menus are XWayland popups under a Wayland compositor, and their keyboard grab only
// sees the keys the compositor hands to XWayland: those meant for a focused X11 window. So
// before a menu shows, the compositor is asked to focus the strip; the menu closes when the
// focus moves on to another window, as a click elsewhere does, and once it has gone the window
// that had the focus gets it back. How the compositor is asked is the subclass's.
class XWaylandMenuFocus : public QObject {
    Q_OBJECT
public:
    explicit XWaylandMenuFocus(QObject* parent = nullptr);

    virtual void setPanel(QWidget* panel) { panel_ = panel; }
    void prepareMenu(QWidget& menu);

protected:
    // The strip's X11 window while it shows, else 0.
    quint32 panelWindow() const;
    bool menuShowing() const { return menu_ && menu_->isVisible(); }
    // Ask the compositor to focus the strip, remembering the window that has the focus unless
    // an earlier menu's focus is still to be given back (replacing).
    virtual void focusPanel(quint32 panel, bool replacing) = 0;
    // With the strip hidden there is no window of Pelora's to focus.
    virtual void prepareMenuWithoutPanel(QWidget&) {}
    // Whether the strip, as far as is known, still has the focus the menu was shown with.
    virtual bool panelHasFocus() const = 0;
    virtual void giveBack() = 0;
    // The focus stays where it is: the window remembered is forgotten.
    virtual void forgetReturn() = 0;
    // Another window took the focus (clicked, brought up by a key of the compositor's or by the
    // menu's choice): the menu closes and the focus stays there.
    void focusMovedAway();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void menuHidden();

    QPointer<QWidget> panel_;
    QPointer<QWidget> menu_;
    QTimer giveBack_;
    bool resending_ = false;
};
