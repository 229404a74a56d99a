#pragma once

#include "favorites/FavoriteItem.h"
#include "favorites/FavoritesCategory.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class BookmarkService;
class QFileSystemWatcher;
class FileSystem;
class UserDefaults;
class Workspace;

// The favorites of one category. Each is kept as a durable file reference in the defaults,
// beside a parallel list of the times they were added (seconds since 1970); `favorites` holds
// those that exist on disk, newest first. A favorite that was renamed or moved shows at its new
// place and its reference is rewritten. References that no longer resolve stay stored and
// show again once their file is back. A stored list that cannot be read counts as empty, and is
// kept under the key followed by "Unreadable" before anything is written over it. Main thread;
// all work is synchronous.
class FavoritesService {
public:
    // The store loads at once.
    FavoritesService(UserDefaults& defaults, FileSystem& fileSystem, BookmarkService& bookmarks,
                     Workspace& workspace, FavoritesCategory category);
    ~FavoritesService();
    FavoritesService(const FavoritesService&) = delete;
    FavoritesService& operator=(const FavoritesService&) = delete;

    FavoritesCategory category() const { return category_; }
    const QString& storageKey() const { return storageKey_; }
    QString addedAtKey() const;
    const QList<FavoriteItem>& favorites() const { return favorites_; }

    // Adds the URL unless its normalised form is already a favorite; silent on failure.
    void add(const QUrl& url);
    // Removes the first stored favorite that refers to the item. When none does (its
    // reference no longer resolves to it), the item only leaves the current list.
    void remove(const FavoriteItem& item);

private:
    void load();
    // Watches the folders that hold the listed favorites: one whose file goes away leaves the
    // list as soon as the folder changes, not at the next load.
    void watchFolders();
    void dropMissing();
    // isStale, when given, tells that the reference found its item elsewhere (renamed, moved).
    std::optional<QUrl> resolve(const QByteArray& bookmark, bool* isStale = nullptr) const;
    QList<QByteArray> readBookmarks() const;
    QList<double> readTimes() const;
    void writeBookmarks(const QList<QByteArray>& bookmarks);
    void writeTimes(const QList<double>& times);
    // Whether a value is stored under the key that is not a list of such elements.
    bool isUnreadable(const QString& key, bool (*isElement)(const QVariant&)) const;
    // Copies the stored value under a key of its own, so that writing a fresh list over an
    // unreadable one destroys nothing the user had.
    void keepAside(const QString& key);
    double filledTime(qsizetype index, const std::optional<QUrl>& resolved) const;

    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    Workspace& workspace_;
    FavoritesCategory category_;
    QString storageKey_;
    QList<FavoriteItem> favorites_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

// The program's three stores, one per category, each loaded when first asked for.
class FavoriteStores {
public:
    FavoriteStores(UserDefaults& defaults, FileSystem& fileSystem, BookmarkService& bookmarks,
                   Workspace& workspace)
        : defaults_(defaults), fileSystem_(fileSystem), bookmarks_(bookmarks),
          workspace_(workspace) {}
    FavoriteStores(const FavoriteStores&) = delete;
    FavoriteStores& operator=(const FavoriteStores&) = delete;

    FavoritesService& store(FavoritesCategory category);
    // Adds each item, dropped or picked, to the favorites of its own kind once the links it was
    // given through are followed; the item is reached under the access it was handed with.
    void add(const QList<QUrl>& urls);

private:
    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    Workspace& workspace_;
    std::array<std::optional<FavoritesService>, allFavoritesCategories.size()> stores_;
};
