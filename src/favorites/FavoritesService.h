#pragma once

#include "favorites/FavoriteItem.h"
#include "favorites/FavoritesCategory.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BookmarkService;
class QFileSystemWatcher;
class QThreadPool;
class QTimer;
class FileSystem;
class UserDefaults;
class Workspace;

// What a check of one stored reference found, off the main thread.
struct FavoriteCheck {
    std::optional<QUrl> url;             // where it is now, normalised; none: it does not resolve
    std::optional<QByteArray> rewritten; // a fresh reference to store in its place
    bool exists = false;
    QString displayName;
    QString iconName;
    std::optional<double> fileTime; // its creation, else modification, date (seconds since 1970)
};

// The favorites of one category. Each is kept as a durable file reference in the defaults,
// beside a parallel list of the times they were added (seconds since 1970); `favorites` holds
// those that exist on disk, newest first. A favorite that was renamed or moved shows at its new
// place and its reference is rewritten. References that no longer resolve stay stored and
// show again once their file is back. A stored list that cannot be read counts as empty, and is
// kept under the key followed by "Unreadable" before anything is written over it.
// Main thread. A favorite may lie on a file system that stops answering (a dead network share),
// so references are checked on workers, each within a deadline: one not checked in time is
// listed as it was stored until its check ends. `changed` runs whenever the list changes.
class FavoritesService {
public:
    // How long a check may take before the list goes on without it.
    static constexpr int checkDeadlineMs = 250;

    // The store loads at once.
    FavoritesService(UserDefaults& defaults, FileSystem& fileSystem, BookmarkService& bookmarks,
                     Workspace& workspace, FavoritesCategory category,
                     std::function<void()> changed = {});
    ~FavoritesService();
    FavoritesService(const FavoritesService&) = delete;
    FavoritesService& operator=(const FavoritesService&) = delete;

    FavoritesCategory category() const { return category_; }
    const QString& storageKey() const { return storageKey_; }
    QString addedAtKey() const;
    const QList<FavoriteItem>& favorites() const { return favorites_; }
    // Whether some stored reference is still being checked.
    bool isChecking() const { return !inFlight_.isEmpty(); }
    // Checks every stored reference again, but none whose check has not ended yet.
    void refresh();

    // Adds the URL unless its normalised form is already a favorite; silent on failure.
    void add(const QUrl& url);
    // Removes the first stored favorite whose last check found the item. When none did, the
    // item only leaves the current list.
    void remove(const FavoriteItem& item);

    // The check of one stored reference; safe on any thread.
    static FavoriteCheck check(const QByteArray& bookmark, BookmarkService& bookmarks,
                               FileSystem& fileSystem, Workspace& workspace);

private:
    struct Job;

    void load();
    void startChecks(const QList<QByteArray>& bookmarks);
    void checkArrived(const QByteArray& bookmark, FavoriteCheck result);
    void deadlinePassed();
    // Builds the list from the last checks (and the stored form of what is not checked yet).
    void rebuild();
    // Watches the folders that hold the listed favorites: one whose file goes away leaves the
    // list as soon as the folder changes, not at the next load.
    void watchFolders(const QList<QByteArray>& stored);
    // The item as it was stored, for a reference not checked yet.
    std::optional<FavoriteItem> storedItem(const QByteArray& bookmark) const;
    QList<QByteArray> readBookmarks() const;
    QList<double> readTimes() const;
    void writeBookmarks(const QList<QByteArray>& bookmarks);
    void writeTimes(const QList<double>& times);
    // Whether a value is stored under the key that is not a list of such elements.
    bool isUnreadable(const QString& key, bool (*isElement)(const QVariant&)) const;
    // Copies the stored value under a key of its own, so that writing a fresh list over an
    // unreadable one destroys nothing the user had.
    void keepAside(const QString& key);
    // The time list brought to the bookmark list's length once every entry is checked.
    void fillTimes(const QList<QByteArray>& stored);

    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    Workspace& workspace_;
    FavoritesCategory category_;
    QString storageKey_;
    std::function<void()> changed_;
    QList<FavoriteItem> favorites_;
    QHash<QByteArray, FavoriteCheck> checks_;
    QHash<QByteArray, std::shared_ptr<Job>> inFlight_;
    std::unique_ptr<QThreadPool> checker_;
    std::unique_ptr<QTimer> deadline_;
    // Results are posted to it; gone with the store, they are dropped.
    std::unique_ptr<QObject> context_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

// The program's three stores, one per category, each loaded when first asked for.
class FavoriteStores : public QObject {
    Q_OBJECT
public:
    FavoriteStores(UserDefaults& defaults, FileSystem& fileSystem, BookmarkService& bookmarks,
                   Workspace& workspace);

    FavoritesService& store(FavoritesCategory category);
    // Adds each item, dropped or picked, to the favorites of its own kind once the links it was
    // given through are followed; the item is reached under the access it was handed with.
    void add(const QList<QUrl>& urls);

Q_SIGNALS:
    // A store's list changed: a check ended, or something was added or removed.
    void changed();

private:
    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    Workspace& workspace_;
    std::array<std::unique_ptr<FavoritesService>, allFavoritesCategories.size()> stores_;
};
