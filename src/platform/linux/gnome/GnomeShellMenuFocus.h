#pragma once

#include "platform/linux/gnome/GnomeShellExtension.h"
#include "platform/linux/x11/XWaylandMenuFocus.h"

#include <QDBusConnection>

// Under GNOME Shell Pelora's extension lends the strip the keyboard while a menu shows and
// gives it back to the window that had it; it tells when another window took the focus since.
// The strip accepts the focus only meanwhile (a press on it must leave the focus where it is).
// Without the extension the menu shows as before, without the keyboard. Every call is
// asynchronous.
class GnomeShellMenuFocus : public XWaylandMenuFocus {
    Q_OBJECT
public:
    // identifier: the bundle identifier; the extension serves "<identifier>.Windows".
    GnomeShellMenuFocus(QDBusConnection bus, const QString& identifier, QObject* parent = nullptr);

protected:
    void focusPanel(quint32 panel, bool replacing) override;
    bool panelHasFocus() const override { return lentTo_ != 0; }
    void giveBack() override;
    void forgetReturn() override { release(); }

private Q_SLOTS:
    void keyboardLost();

private:
    // The strip takes the focus only while it is lent: a press on it leaves the focus alone.
    static void setAcceptsFocus(quint32 window, bool accepts);
    void release();

    QDBusConnection bus_;
    GnomeShellExtension extension_;
    quint32 lentTo_ = 0; // the strip's window while it has (or is given) the keyboard
};
