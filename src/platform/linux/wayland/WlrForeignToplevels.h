#pragma once

#include "platform/linux/wayland/SwayIpc.h"
#include "platform/linux/wayland/WaylandToplevelApplications.h"

#include <memory>

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
    struct SwayScratchpad;
    // Kept across connections; the state before the thread that uses it, which goes first.
    std::shared_ptr<SwayScratchpad> scratchpad_;
    SwayIpc sway_;
};
