#pragma once

#include "platform/PeloraIdentity.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

// A snapshot of one running application: the windows of one desktop entry, or of one
// window class when no entry matches.
struct RunningApplication {
    QString handle; // opaque, for hide/unhide/activate of the same application later
    qint64 processIdentifier = 0;
    std::optional<QString> bundleIdentifier; // desktop-file id
    std::optional<QUrl> bundleURL;           // file URL of the desktop entry
    std::optional<QString> localizedName;
    QString iconName;     // theme name or image path, for Workspace::iconForName
    bool regular = false; // has normal windows that show in the taskbar
    bool hidden = false;  // all its windows are iconified
    // This program itself: its own windows, or an application that is it by its identity.
    bool isPelora = false;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The running applications, the frontmost one, and the moments an application becomes
// frontmost. Without a window system that tells (offscreen) the lists are empty.
class RunningApplications : public QObject {
    Q_OBJECT
public:
    ~RunningApplications() override = default;

    // In the window system's order.
    virtual QList<RunningApplication> runningApplications() = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual bool hide(const RunningApplication& app) = 0;
    virtual bool unhide(const RunningApplication& app) = 0;
    virtual bool activate(const RunningApplication& app) = 0;
    // Brings this program's own windows to the front.
    virtual void activateCurrentApplication() = 0;

    // How the list tells this program among the applications it makes; without it, only by
    // the program's own windows.
    void identifyPeloraBy(std::shared_ptr<const PeloraIdentity> identity) {
        peloraIdentity_ = std::move(identity);
    }

Q_SIGNALS:
    // Main thread; one emission per change of the frontmost application.
    void applicationActivated(const RunningApplication& app);

protected:
    // Marks the application made of windows as this program itself when they are its own or
    // the application is it by its identity.
    void markPelora(RunningApplication& app, bool ownWindows) const {
        app.isPelora =
            app.isPelora || ownWindows ||
            (peloraIdentity_ &&
             peloraIdentity_->isPeloraBundle(app.bundleURL.value_or(QUrl()), app.bundleIdentifier));
    }

    // Asks for the frontmost application and announces it when it is another than last time;
    // with announce false only remembers it (the one in front at start is no change).
    void checkFrontmost(bool announce = true) {
        const auto front = frontmostApplication();
        if (!front || front->handle == lastFrontmostHandle_)
            return;
        lastFrontmostHandle_ = front->handle;
        if (announce)
            Q_EMIT applicationActivated(*front);
    }

private:
    QString lastFrontmostHandle_;
    std::shared_ptr<const PeloraIdentity> peloraIdentity_;
};
