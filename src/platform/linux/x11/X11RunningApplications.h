#pragma once

#include "platform/RunningApplications.h"

#include <memory>

// The running applications of an X11 desktop, read from the window manager's EWMH properties
// on Qt's own connection: one application per desktop entry (or per window class when no entry
// matches), the frontmost one from _NET_ACTIVE_WINDOW, and an activation event each time it
// changes. Under another platform plugin (offscreen, Wayland) it reports nothing. Main thread.
class X11RunningApplications : public RunningApplications {
    Q_OBJECT
public:
    explicit X11RunningApplications(QObject* parent = nullptr);
    ~X11RunningApplications() override;

    // Whether an X11 connection is there to ask.
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
