#pragma once

#include "strip/OpenTargetKind.h"

#include <QList>
#include <QObject>
#include <QUrl>
#include <optional>

class BookmarkService;
class Dialogs;
class FileSystem;
class RecentAccessService;
class RecentDocumentsService;
class RecentFoldersService;
class RunningApplications;
class Workspace;

// Opens what a menu entry or the favorites editor chose: a recent item through a stored
// access grant (asking the user for one in an open panel when needed), a favorite directly,
// an application by launching it. Opened documents and folders enter their history. Main
// thread.
class MenuEntryOpener : public QObject {
    Q_OBJECT
public:
    MenuEntryOpener(FileSystem& fileSystem, BookmarkService& bookmarks,
                    RunningApplications& runningApplications, Workspace& workspace,
                    Dialogs& dialogs, RecentAccessService& access,
                    RecentDocumentsService& documents, RecentFoldersService& folders,
                    QObject* parent = nullptr);

    // Opens a recent item through a stored access grant, storing one or asking the user for
    // one when needed.
    void openRecentTarget(const QUrl& url, OpenTargetKind kind);
    // Opens a favorite (no grant is looked up) or launches a favorite application.
    void openFavoriteTarget(const QUrl& url, OpenTargetKind kind);
    // Opens an application bundle as an application, bringing it to the front.
    void launchApplicationAt(const QUrl& url);

private:
    // Opens url with its default handler inside scoped access on grant and records the open
    // in the kind's history, whether or not the handler could be started.
    void openWithGrant(const QUrl& url, const QUrl& grant, OpenTargetKind kind);
    // Asks the user, in an open panel, for the folder that holds the item (a document) or the
    // item itself (a folder); opens it when the choice covers it.
    void requestFolderAccess(const QUrl& url, OpenTargetKind kind);
    void accessPanelDidEnd(const std::optional<QList<QUrl>>& chosen, const QUrl& url,
                           OpenTargetKind kind);
    void showWrongSelectionAlert(const QUrl& url);

    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    RunningApplications& runningApplications_;
    Workspace& workspace_;
    Dialogs& dialogs_;
    RecentAccessService& access_;
    RecentDocumentsService& documents_;
    RecentFoldersService& folders_;
};
