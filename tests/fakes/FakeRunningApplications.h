#pragma once

#include "platform/RunningApplications.h"

// A window system the test describes: the running applications, the frontmost one, and
// activation events sent on demand. Each is marked as the program itself, or not, as a real
// list marks it.
class FakeRunningApplications : public RunningApplications {
public:
    QList<RunningApplication> apps;
    std::optional<RunningApplication> frontmost;
    int currentApplicationActivations = 0;

    QList<RunningApplication> runningApplications() override {
        QList<RunningApplication> listed = apps;
        for (RunningApplication& app : listed)
            markPelora(app, false);
        return listed;
    }
    std::optional<RunningApplication> frontmostApplication() override {
        if (frontmost)
            markPelora(*frontmost, false);
        return frontmost;
    }
    bool hide(const RunningApplication&) override { return true; }
    bool unhide(const RunningApplication&) override { return true; }
    bool activate(const RunningApplication&) override { return true; }
    void activateCurrentApplication() override { ++currentApplicationActivations; }

    // The window system reports that app came to the front.
    void bringToFront(const RunningApplication& app) {
        frontmost = app;
        markPelora(*frontmost, false);
        Q_EMIT applicationActivated(*frontmost);
    }
};

inline RunningApplication makeRunningApplication(const QString& name, const QString& bundleId,
                                                 const QString& bundlePath, bool regular = true) {
    RunningApplication app;
    app.handle = bundleId.isEmpty() ? name : bundleId;
    if (!bundleId.isEmpty())
        app.bundleIdentifier = bundleId;
    if (!bundlePath.isEmpty())
        app.bundleURL = QUrl::fromLocalFile(bundlePath);
    if (!name.isEmpty())
        app.localizedName = name;
    app.regular = regular;
    return app;
}
