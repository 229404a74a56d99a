#pragma once

#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Under sway Pelora's menus are XWayland popups, and their keyboard grab only sees the keys sway
// hands to XWayland: those of a focused X11 window. So before a menu shows, sway is asked to
// focus the strip (with the strip hidden, the menu is made a popup sway focuses itself); the
// menu closes when sway's focus moves to another window, as a click elsewhere does, and the
// window that had the focus gets it back. Keeps one subscription to sway's focus changes; the
// main thread never waits for sway.
class SwayMenuFocus : public QObject {
    Q_OBJECT
public:
    explicit SwayMenuFocus(QObject* parent = nullptr);

    void setPanel(QWidget* panel);
    void prepareMenu(QWidget& menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectToSway();
    void send(quint32 type, const QByteArray& payload);
    void runCommand(const QString& command);
    void readMessages();
    void focusChanged(qint64 window);
    void menuHidden();
    qint64 panelWindow() const;

    QLocalSocket socket_;
    QByteArray received_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> menu_;
    QTimer giveBack_;
    qint64 focused_ = -1; // the X11 id of sway's focused window, 0 for a Wayland one
    bool panelFocused_ = false;
};
