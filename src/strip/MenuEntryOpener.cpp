#include "strip/MenuEntryOpener.h"

#include "common/FileURL.h"
#include "common/Texts.h"
#include "history/RecentAccessService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "platform/BookmarkService.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RunningApplications.h"
#include "platform/Workspace.h"

#include <QFileInfo>
#include <QPointer>

MenuEntryOpener::MenuEntryOpener(FileSystem& fileSystem, BookmarkService& bookmarks,
                                 RunningApplications& runningApplications, Workspace& workspace,
                                 Dialogs& dialogs, RecentAccessService& access,
                                 RecentDocumentsService& documents, RecentFoldersService& folders,
                                 QObject* parent)
    : QObject(parent), fileSystem_(fileSystem), bookmarks_(bookmarks),
      runningApplications_(runningApplications), workspace_(workspace), dialogs_(dialogs),
      access_(access), documents_(documents), folders_(folders) {}

void MenuEntryOpener::openRecentTarget(const QUrl& url, OpenTargetKind kind) {
    const QUrl target = resolvedFileURL(url, fileSystem_);
    if (const auto grant = access_.accessURL(target)) {
        openWithGrant(target, *grant, kind);
        return;
    }
    // The program may reach the item by itself; then no one needs to be asked.
    if (access_.storeGrant(target)) {
        if (const auto grant = access_.accessURL(target)) {
            openWithGrant(target, *grant, kind);
            return;
        }
    }
    requestFolderAccess(target, kind);
}

void MenuEntryOpener::openWithGrant(const QUrl& url, const QUrl& grant, OpenTargetKind kind) {
    const bool accessing = bookmarks_.startAccessing(grant);
    // A handler that cannot be started is not reported; the item still counts as opened.
    workspace_.openURL(url);
    if (kind == OpenTargetKind::document)
        documents_.recordOpened(url);
    else if (kind == OpenTargetKind::folder)
        folders_.recordOpened(url);
    if (accessing)
        bookmarks_.stopAccessing(grant);
}

void MenuEntryOpener::openFavoriteTarget(const QUrl& url, OpenTargetKind kind) {
    if (kind == OpenTargetKind::application) {
        launchApplicationAt(url);
        return;
    }
    const QUrl resolved = resolvedFileURL(url, fileSystem_);
    if (resolved == url) {
        openWithGrant(url, url, kind);
        return;
    }
    // An alias or link: access to both the favorite and what it leads to.
    const bool accessingFavorite = bookmarks_.startAccessing(url);
    const bool accessingResolved = bookmarks_.startAccessing(resolved);
    openWithGrant(resolved, resolved, kind);
    if (accessingResolved)
        bookmarks_.stopAccessing(resolved);
    if (accessingFavorite)
        bookmarks_.stopAccessing(url);
}

void MenuEntryOpener::launchApplicationAt(const QUrl& url) {
    workspace_.launchApplication(resolvedFileURL(url, fileSystem_), true);
}

void MenuEntryOpener::requestFolderAccess(const QUrl& url, OpenTargetKind kind) {
    runningApplications_.activateCurrentApplication();

    const QString path = standardizedPath(url);
    const QString name = fileSystem_.displayName(path);
    OpenPanelOptions panel;
    panel.canCreateDirectories = false;
    panel.allowsMultipleSelection = false;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    // Strings only: the folders need not exist for the panel to start as near as it can.
    const QString parent = QFileInfo(path).path();
    if (kind == OpenTargetKind::document) {
        // The user picks the folder that holds the document, so the panel shows its parent.
        panel.directory = QFileInfo(parent).path();
        panel.message = L("recentAccessPanelDocumentFolderMessage").arg(name);
    } else {
        panel.directory = parent;
        panel.message = L("recentAccessPanelMessage").arg(name);
    }
    panel.prompt = L("buttonGrantAccess");

    QPointer<MenuEntryOpener> self(this);
    dialogs_.beginOpenPanel(panel, [self, url, kind](const std::optional<QList<QUrl>>& chosen) {
        if (self)
            self->accessPanelDidEnd(chosen, url, kind);
    });
}

void MenuEntryOpener::accessPanelDidEnd(const std::optional<QList<QUrl>>& chosen, const QUrl& url,
                                        OpenTargetKind kind) {
    if (!chosen || chosen->isEmpty())
        return;
    const QUrl& panelURL = chosen->first();
    const QUrl folder = resolvedFileURL(panelURL, fileSystem_);
    const QUrl target = resolvedFileURL(url, fileSystem_);
    const QString folderPath = standardizedPath(folder);
    const QString targetPath = standardizedPath(target);
    QString prefix = folderPath;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    // The same item however its URL is spelled, or anything below it; not a sibling whose name
    // merely begins alike.
    const bool fits =
        folder == target || (folder.isLocalFile() && target.isLocalFile() &&
                             (folderPath == targetPath || targetPath.startsWith(prefix)));
    if (fits) {
        if (access_.storeGrant(panelURL)) {
            if (const auto grant = access_.accessURL(url)) {
                openWithGrant(url, *grant, kind);
                return;
            }
        }
    }
    showWrongSelectionAlert(url);
}

void MenuEntryOpener::showWrongSelectionAlert(const QUrl& url) {
    AlertOptions alert;
    alert.style = AlertStyle::warning;
    alert.messageText = L("recentAccessWrongSelectionTitle");
    alert.informativeText =
        L("recentAccessWrongSelectionMessage").arg(fileSystem_.displayName(standardizedPath(url)));
    alert.buttons = {L("buttonOK")};
    dialogs_.runAlert(alert);
}
