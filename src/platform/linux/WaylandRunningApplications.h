#pragma once

#include "platform/RunningApplications.h"
#include "platform/linux/DesktopEntries.h"

#include <QSet>
#include <functional>
#include <memory>

// One toplevel window of a Wayland compositor's list, as far as it has been announced.
struct WaylandToplevel {
    quintptr id = 0;
    QString appId;
    QString title;
    bool minimized = false;
    bool activated = false;
    bool hasParent = false;    // a dialog or other child window
    qint64 lastActivation = 0; // larger is more recent; 0 when never seen active
};

// The toplevels of one application: one desktop entry, or one app id when no entry claims it.
struct ToplevelGroup {
    RunningApplication app;
    QList<quintptr> toplevels;
    // The one to bring forward: the most recently active, else the newest.
    quintptr preferred = 0;
    bool frontmost = false;
};

// Groups toplevels into applications, in the order they were announced. entryFor maps an app
// id to its desktop entry; an app id in ownAppIds belongs to this program.
QList<ToplevelGroup>
groupToplevels(const QList<WaylandToplevel>& toplevels,
               const std::function<std::optional<DesktopEntry>(const QString& appId)>& entryFor,
               const QSet<QString>& ownAppIds);

// The running applications of a wlroots compositor (sway and others), from its
// foreign-toplevel list on a Wayland connection of its own: app ids mapped to desktop entries,
// the frontmost one from the activated state, activate and minimise through the compositor.
// Unavailable without a compositor offering the protocol. Main thread.
class WaylandRunningApplications : public RunningApplications {
    Q_OBJECT
public:
    explicit WaylandRunningApplications(QObject* parent = nullptr);
    ~WaylandRunningApplications() override;

    bool isAvailable() const;

    QList<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    bool hide(const RunningApplication& app) override;
    bool unhide(const RunningApplication& app) override;
    bool activate(const RunningApplication& app) override;
    void activateCurrentApplication() override;

private:
    class Private;
    std::unique_ptr<Private> d;
};
