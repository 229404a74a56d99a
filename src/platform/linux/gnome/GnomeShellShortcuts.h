#pragma once

#include "platform/GlobalShortcuts.h"
#include "platform/linux/gnome/GnomeShellExtension.h"

#include <QDBusConnection>
#include <QSet>

// Global shortcuts under GNOME on Wayland, where only the shell sees every key: Pelora's GNOME
// Shell extension binds them with the shell's own key handling and signals each press. They
// are told again whenever the extension (re)appears, and it drops them when Pelora leaves the
// bus. Every call is asynchronous. Main thread.
class GnomeShellShortcuts : public GlobalShortcuts {
    Q_OBJECT
public:
    // identifier: the bundle identifier; the extension serves "<identifier>.Windows" and
    // answers only the owner of the identifier's name (which GnomeShellWindows takes).
    GnomeShellShortcuts(QDBusConnection bus, const QString& identifier);
    ~GnomeShellShortcuts() override;

    void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) override;
    State state(const QString& name) const override;

    // The shell's name for a key combination ("<Super><Shift>v"), or empty for one it lacks.
    static QString acceleratorName(const QKeyCombination& combination);

private Q_SLOTS:
    void pressed(const QString& name);

private:
    void tell();

    QDBusConnection bus_;
    GnomeShellExtension extension_;
    QMap<QString, QString> accelerators_; // name -> the shell's name for its key
    QSet<QString> refused_;
    QSet<QString> unnamed_;
    bool listening_ = false; // the extension took the last shortcuts told
};
