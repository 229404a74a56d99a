#pragma once

#include "history/RecentDocumentGroup.h"
#include "strip/OpenTargetKind.h"

#include <QList>
#include <QObject>
#include <memory>

class FavoriteStores;
class MenuEntryOpener;
class QIcon;
class QMenu;
class QUrl;
class RecentDocumentsService;
class RecentFoldersService;

// The documents menu ("Recent Documents": recent documents grouped by the application that
// opens them, then favorites) and the folders menu ("Recent Folders": recent folders, then
// favorites). Their entries open through the opener. Main thread.
class DocumentsAndFoldersMenus : public QObject {
    Q_OBJECT
public:
    DocumentsAndFoldersMenus(RecentDocumentsService& documents, RecentFoldersService& folders,
                             FavoriteStores& favorites, MenuEntryOpener& opener,
                             QObject* parent = nullptr);
    ~DocumentsAndFoldersMenus() override;

    // A new documents menu from the service's current groups; the caller owns it.
    std::unique_ptr<QMenu> makeRecentDocumentsMenu();
    // A new folders menu from the previous gathering; the caller owns it.
    std::unique_ptr<QMenu> makeRecentFoldersMenu();

    // Rebuilds recentGroups after each gathering of the documents, which starts loading the
    // icons the next menu shows; once is enough.
    void observeRecentDocuments();

    // The document groups the documents menu showed last, refreshed after each gathering.
    const QList<RecentDocumentGroup>& recentGroups() const { return recentGroups_; }

Q_SIGNALS:
    // An "Edit Favorites…" item was chosen.
    void editFavoritesRequested();

private:
    // An entry that opens the URL it carries: through the access grants when recent, directly
    // when a favorite.
    void addOpenItem(QMenu& menu, const QString& title, const QIcon& icon, const QUrl& url,
                     OpenTargetKind kind, bool recent);
    void addFavorites(QMenu& menu, OpenTargetKind kind);
    void clearRecentDocuments();
    void clearRecentFolders();

    RecentDocumentsService& documents_;
    RecentFoldersService& folders_;
    FavoriteStores& favorites_;
    MenuEntryOpener& opener_;
    QList<RecentDocumentGroup> recentGroups_;
    bool recentDocumentsObserved_ = false;
};
