#include "strip/DocumentsAndFoldersMenus.h"

#include "common/Texts.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "strip/MenuEntryOpener.h"
#include "strip/ModuleMenuItems.h"

#include <QAction>
#include <QMenu>

using namespace ModuleMenuItems;

DocumentsAndFoldersMenus::DocumentsAndFoldersMenus(RecentDocumentsService& documents,
                                                   RecentFoldersService& folders,
                                                   FavoriteStores& favorites,
                                                   MenuEntryOpener& opener, QObject* parent)
    : QObject(parent), documents_(documents), folders_(folders), favorites_(favorites),
      opener_(opener) {}

DocumentsAndFoldersMenus::~DocumentsAndFoldersMenus() = default;

void DocumentsAndFoldersMenus::observeRecentDocuments() {
    if (recentDocumentsObserved_)
        return;
    recentDocumentsObserved_ = true;
    connect(&documents_, &RecentDocumentsService::didUpdate, this,
            [this] { recentGroups_ = documents_.currentGroups(); });
}

std::unique_ptr<QMenu> DocumentsAndFoldersMenus::makeRecentDocumentsMenu() {
    recentGroups_ = documents_.currentGroups();
    std::unique_ptr<QMenu> menu(makeMenu(recentDocumentsTitle));
    addHeaderItem(*menu, L("strip.menu.recentDocuments"));
    if (recentGroups_.isEmpty()) {
        addEmptyStateItem(*menu, L("strip.emptyState.noRecentDocuments"));
    } else {
        for (const RecentDocumentGroup& group : recentGroups_) {
            QMenu* submenu = addSubmenuItem(*menu, group.appName, group.appIcon);
            for (const RecentDocumentItem& item : group.items)
                addOpenItem(*submenu, item.displayName, item.icon, item.url,
                            OpenTargetKind::document, true);
        }
        addClearItem(*menu, this, [this] { clearRecentDocuments(); });
        menu->addSeparator();
    }
    addHeaderItem(*menu, L("strip.menu.favoriteDocuments"));
    addFavorites(*menu, OpenTargetKind::document);
    // The next press sees what the index knows by then.
    documents_.refresh();
    return menu;
}

std::unique_ptr<QMenu> DocumentsAndFoldersMenus::makeRecentFoldersMenu() {
    // The list reflects the previous gathering; this one serves the next press.
    folders_.refresh();
    const QList<RecentFolderItem> recentFolders = folders_.currentFolders();
    std::unique_ptr<QMenu> menu(makeMenu(recentFoldersTitle));
    addHeaderItem(*menu, L("strip.menu.recentFolders"));
    if (recentFolders.isEmpty()) {
        addEmptyStateItem(*menu, L("strip.emptyState.noRecentFolders"));
    } else {
        for (const RecentFolderItem& folder : recentFolders)
            addOpenItem(*menu, folder.displayName, folder.icon, folder.url, OpenTargetKind::folder,
                        true);
        addClearItem(*menu, this, [this] { clearRecentFolders(); });
        menu->addSeparator();
    }
    addHeaderItem(*menu, L("strip.menu.favoriteFolders"));
    addFavorites(*menu, OpenTargetKind::folder);
    return menu;
}

void DocumentsAndFoldersMenus::addOpenItem(QMenu& menu, const QString& title, const QIcon& icon,
                                           const QUrl& url, OpenTargetKind kind, bool recent) {
    addEntryItem(menu, title, icon, this, [this, url, kind, recent] {
        if (recent)
            opener_.openRecentTarget(url, kind);
        else
            opener_.openFavoriteTarget(url, kind);
    });
}

void DocumentsAndFoldersMenus::addFavorites(QMenu& menu, OpenTargetKind kind) {
    const FavoritesCategory category = kind == OpenTargetKind::document
                                           ? FavoritesCategory::documents
                                           : FavoritesCategory::folders;
    FavoritesService& store = favorites_.store(category);
    for (const FavoriteItem& favorite : store.favorites())
        addOpenItem(menu, favorite.displayName, favorite.icon, favorite.url, kind, false);
    // The next press sees what the checks find by then.
    store.refresh();
    addEditItem(menu, this, [this] { Q_EMIT editFavoritesRequested(); });
}

void DocumentsAndFoldersMenus::clearRecentDocuments() {
    documents_.clearHistory();
    // What the index found last stays; the groups are rebuilt from it alone.
    recentGroups_ = documents_.currentGroups();
}

void DocumentsAndFoldersMenus::clearRecentFolders() {
    folders_.clearHistory();
}
