#pragma once

#include "platform/linux/wayland/WaylandToplevelApplications.h"

// What KWin has told about its windows, apart from the wire. A window's first state is
// complete at "initial state" and only then listed; after that each change stands on its own.
class PlasmaWindowList {
public:
    // The state bits used here, as org_kde_plasma_window_management numbers them.
    enum State : uint32_t { Active = 1u << 0, Minimized = 1u << 1, SkipTaskbar = 1u << 12 };

    explicit PlasmaWindowList(ToplevelList& toplevels) : toplevels_(toplevels) {}

    // Each returns true when the window became the active one with this change.
    bool title(quintptr id, const QString& title);
    bool appId(quintptr id, const QString& appId);
    bool state(quintptr id, uint32_t flags);
    bool parent(quintptr id, bool hasParent);
    bool initialState(quintptr id);
    void unmapped(quintptr id);

private:
    bool changed(quintptr id) { return complete_.contains(id) && toplevels_.commit(id); }

    ToplevelList& toplevels_;
    QSet<quintptr> complete_;
};

// The running applications of KDE Plasma's compositor, from its window list
// (org_kde_plasma_window_management) on a Wayland connection of its own. KWin offers the list
// only to programs whose installed desktop entry asks for it (X-KDE-Wayland-Interfaces).
// Unavailable without it. Main thread.
class WaylandPlasmaWindows : public WaylandToplevelApplications {
    Q_OBJECT
public:
    explicit WaylandPlasmaWindows(QObject* parent = nullptr);

private:
    class Private;
};
