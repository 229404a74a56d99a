#pragma once

#include "history/RecentFolderItem.h"
#include "history/RecentFolderRecord.h"
#include "platform/UserDefaults.h"

#include <QObject>
#include <memory>

class FileSystem;
class RecentItemsIndex;
class RecentItemsQuery;
class UserDefaults;
class Workspace;
struct RecentItemsResult;

// Up to ten recently used folders: the program's own history of folders opened through the
// strip first, then the folders of the last completed index query. Nothing is announced when
// a query completes; the list reflects the last completed one when it is asked for, and the
// query runs again whenever the index changes. Main thread only.
class RecentFoldersService : public QObject {
public:
    static constexpr int maxResults = 10;
    static inline const DefaultsKey<QByteArray> storageKey{"PeloraRecentFoldersHistory", {}};
    static constexpr int maxQueryResults = 20;

    explicit RecentFoldersService(UserDefaults& defaults, FileSystem& fileSystem,
                                  RecentItemsIndex& recentItemsIndex, Workspace& workspace);
    ~RecentFoldersService();

    // Starts the folder query, stopping one in flight.
    void refresh();
    bool isGathering() const;

    QList<RecentFolderItem> currentFolders();
    void recordOpened(const QUrl& url);
    // Forgets the folders opened through the strip; what the index found last stays.
    void clearHistory();

    // Stored records, in stored order, of folders that still exist.
    QList<PersistedRecentFolderRecord> loadPersistedRecords() const;
    void savePersistedRecords(const QList<PersistedRecentFolderRecord>& records);

    const QList<RecentFolderItem>& systemRecentFolders() const { return systemRecentFolders_; }

private:
    void gatheringFinished(const QList<RecentItemsResult>& results);
    RecentFolderItem makeItem(const QString& path, const QString& displayName);

    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    RecentItemsIndex& recentItemsIndex_;
    Workspace& workspace_;
    QList<RecentFolderItem> systemRecentFolders_;
    std::unique_ptr<RecentItemsQuery> metadataQuery_;
};
