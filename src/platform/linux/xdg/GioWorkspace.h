#pragma once

#include "platform/Workspace.h"

#include <memory>

class RunningApplications;

// Opening, launching and icons on a freedesktop system, through GIO: the user's default
// handlers and mimeapps.list, desktop entries launched with their Exec line (field codes,
// Terminal, D-Bus activation), and the icon theme. An application's bundle URL is the file URL
// of its desktop entry.
class GioWorkspace : public Workspace {
public:
    // The running applications, when given, let launchApplication bring a running application
    // to the front instead of starting it again. Main thread.
    explicit GioWorkspace(std::weak_ptr<RunningApplications> runningApplications = {});

    bool openURL(const QUrl& url) override;
    std::optional<QUrl> applicationToOpenURL(const QUrl& url) override;
    bool launchApplication(const QUrl& applicationURL, bool activate) override;
    QString applicationExecutablePath(const QUrl& applicationURL) override;

    QIcon iconForFile(const QString& path) override;
    QIcon iconForFileType(const QString& type) override;
    QString iconNameForFile(const QString& path) override;
    QIcon iconForName(const QString& iconName) override;

private:
    std::weak_ptr<RunningApplications> runningApplications_;
};
