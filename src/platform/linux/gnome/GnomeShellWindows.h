#pragma once

#include "platform/linux/gnome/GnomeShellExtension.h"
#include "platform/linux/wayland/WaylandToplevelApplications.h"

#include <QDBusConnection>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// What Pelora's GNOME Shell extension has told about the shell's windows, apart from D-Bus: its
// list, then each window opened, changed or closed, and each move of the focus. A window is a
// dictionary (id, app, wm-class, pid, title, minimized, skip-taskbar, focused); what is missing
// or of another type counts as empty.
class GnomeShellWindowList {
public:
    explicit GnomeShellWindowList(ToplevelList& toplevels) : toplevels_(toplevels) {}

    // Each returns true when a window became the focused one with it.
    bool reset(const QList<QVariantMap>& windows);
    bool opened(const QVariantMap& window) { return take(window); }
    bool changed(const QVariantMap& window) { return take(window); }
    void closed(quint64 id);
    bool focusChanged(quint64 id);
    // The process the window was announced with; 0 when unknown.
    qint64 pid(quint64 id) const { return pids_.value(id); }

private:
    bool take(const QVariantMap& window);

    ToplevelList& toplevels_;
    QHash<quint64, qint64> pids_;
};

// The running applications of GNOME Shell on Wayland, where no program may see the others'
// windows: from Pelora's own extension over D-Bus, every window of native Wayland and X11
// programs, grouped by desktop entry. The extension's signals keep the list current, so a press
// asks nothing of the shell. While the extension does not answer (not installed, disabled, or
// the shell not restarted since), fallback gives what it can (XWayland's windows) and the user
// is told once, in a notification, how to enable the extension; the switch either way happens
// as the extension's name comes and goes. Pelora owns its own name on the bus, by which the
// extension knows it. Main thread.
class GnomeShellWindows : public ToplevelGroupApplications {
    Q_OBJECT
public:
    GnomeShellWindows(const QString& bundleIdentifier,
                      std::shared_ptr<RunningApplications> fallback,
                      QDBusConnection bus = QDBusConnection::sessionBus());
    ~GnomeShellWindows() override;

    // Whether the extension's list is the one in use.
    bool isAvailable() const { return available_; }

Q_SIGNALS:
    void availabilityChanged(bool available);

private Q_SLOTS:
    void windowOpened(const QVariantMap& window);
    void windowChanged(const QVariantMap& window);
    void windowClosed(qulonglong id);
    void focusChanged(qulonglong id);

protected:
    QSet<QString> moreOwnAppIds() const override;
    bool requestActivate(quintptr window) override;
    bool requestMinimized(quintptr window, bool minimized) override;
    RunningApplications* standIn() const override { return available_ ? nullptr : fallback_.get(); }

private:
    void ownerChanged(const QString& owner);
    void fetch();
    void fetched(QDBusPendingCallWatcher* call);
    void setAvailable(bool available);
    void afterEvent(bool becameActive);
    void tellHowToEnable();
    void call(const QString& method, quint64 window);

    GnomeShellExtension extension_;
    QString extensionUuid_;
    std::shared_ptr<RunningApplications> fallback_;
    QDBusConnection bus_;
    bool available_ = false;
    bool fetching_ = false;
    int failedFetches_ = 0;
    bool told_ = false;
    GnomeShellWindowList list_{toplevels_};
};
