#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>
#include <optional>

// Opening files and URLs, default applications, icons and launching applications.
// An application is identified by its bundle URL: on Linux the file URL of its desktop entry.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file or URL with the user's default handler. True when the open was started.
    virtual bool openURL(const QUrl& url) = 0;
    // The bundle URL of the application that opens the file by default, if any.
    // Safe to call from any thread.
    virtual std::optional<QUrl> applicationToOpenURL(const QUrl& url) = 0;
    // Launches the application at the bundle URL, or brings it to the front when it runs.
    virtual bool launchApplication(const QUrl& applicationURL, bool activate) = 0;
    // The program the application at the bundle URL starts, links resolved; empty when that
    // cannot be told.
    virtual QString applicationExecutablePath(const QUrl&) { return {}; }

    // Icon of a file, folder or application bundle (a desktop entry's Icon). Main thread.
    virtual QIcon iconForFile(const QString& path) = 0;
    // Generic icon for a file-name extension or a type name ("public.data"). Main thread.
    virtual QIcon iconForFileType(const QString& type) = 0;
    // The icon of a file as a theme name or an absolute image path: the part of
    // iconForFile that touches the disk. Safe to call from any thread.
    virtual QString iconNameForFile(const QString& path) = 0;
    // Turns what iconNameForFile answered into an icon. Main thread.
    virtual QIcon iconForName(const QString& iconName) = 0;
};
