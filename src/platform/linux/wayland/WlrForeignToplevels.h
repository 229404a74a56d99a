#pragma once

#include "platform/linux/wayland/WaylandToplevelApplications.h"

// The running applications of a wlroots compositor (sway and others), from its
// foreign-toplevel list on a Wayland connection of its own: app ids mapped to desktop entries,
// the frontmost one from the activated state, activate and minimise through the compositor.
// Unavailable without a compositor offering the protocol. Main thread.
class WlrForeignToplevels : public WaylandToplevelApplications {
    Q_OBJECT
public:
    explicit WlrForeignToplevels(QObject* parent = nullptr);

private:
    class Private;
    // sway's windows this program moved to the scratchpad from the tiling layout.
    QSet<qint64> tiledInScratchpad_;
};
