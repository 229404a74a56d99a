#pragma once

#include "platform/linux/x11/XWaylandMenuFocus.h"

#include <QLocalSocket>

// The strip focused and the focus given back with sway's commands; sway's focus changes come
// from one subscription kept over its IPC. With the strip hidden, the menu is made a popup sway
// gives the keyboard to itself. The main thread never waits for sway.
class SwayMenuFocus : public XWaylandMenuFocus {
    Q_OBJECT
public:
    explicit SwayMenuFocus(QObject* parent = nullptr);

    void setPanel(QWidget* panel) override;

protected:
    void focusPanel(quint32 panel, bool replacing) override;
    void prepareMenuWithoutPanel(QWidget& menu) override;
    bool panelHasFocus() const override;
    void giveBack() override;
    void forgetReturn() override;

private:
    void connectToSway();
    void send(quint32 type, const QByteArray& payload);
    void runCommand(const QString& command);
    void readMessages();
    void focusChanged(qint64 window);

    QLocalSocket socket_;
    QByteArray received_;
    qint64 focused_ = -1; // the X11 id of sway's focused window, 0 for a Wayland one
};
