#pragma once

#include "history/IconNameCache.h"
#include "history/RecentDocumentGroup.h"
#include "history/RecentDocumentRecord.h"
#include "platform/UserDefaults.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>

class FileSystem;
class RecentItemsIndex;
class RecentItemsQuery;
class RunningApplications;
class UserDefaults;
class Workspace;
struct RecentItemsResult;

// The documents the user worked with lately, grouped by the application that opens them: the
// program's own history of documents opened through the strip first, then what the
// recent-items index reports, ten in all. Record building and icon lookups run on one serial
// background worker into a thread-safe icon cache, so building a menu never waits for the
// file system. Main thread, except where noted.
class RecentDocumentsService : public QObject {
    Q_OBJECT
public:
    static constexpr int maxResults = 10;
    static inline const DefaultsKey<QByteArray> storageKey{"PeloraRecentDocumentsHistory", {}};
    // The index query: documents used within these 30 days, the first 30 results.
    static constexpr qint64 queryWindowSeconds = 2592000;
    static constexpr int maxQueryResults = 30;

    explicit RecentDocumentsService(UserDefaults& defaults, FileSystem& fileSystem,
                                    RecentItemsIndex& recentItemsIndex,
                                    RunningApplications& runningApplications, Workspace& workspace);
    ~RecentDocumentsService() override;

    // Starts the index query, stopping one in flight; didUpdate announces the new records.
    void refresh();
    bool isGathering() const;

    // The grouped list from the persisted history and the last system records, built from
    // cached icons only; queues icon loading for the persisted documents.
    QList<RecentDocumentGroup> currentGroups();

    // Adds or moves the document to the newest end of the persisted history.
    void recordOpened(const QUrl& url);
    // Forgets the documents opened through the strip and the icons cached for the list; what
    // the index found last stays.
    void clearHistory();

    // The stored records, in stored order (oldest first), of documents that still exist.
    QList<PersistedRecentDocumentRecord> loadPersistedRecords() const;
    void savePersistedRecords(const QList<PersistedRecentDocumentRecord>& records);

    // Queues icon loading for the records without a cached icon. The workspace must outlive
    // this service.
    void prefetchIcons(const QList<PersistedRecentDocumentRecord>& records, Workspace& workspace);

    IconNameCache& iconCache() { return *iconCache_; }
    const QList<SystemRecentDocumentRecord>& systemRecentDocuments() const {
        return systemRecentDocuments_;
    }
    // Blocks until the background worker is idle; for shutdown and tests.
    void waitForBackgroundWork();

Q_SIGNALS:
    // A gathering completed ("PeloraRecentDocumentsDidUpdate"); on the main thread.
    void didUpdate();

private:
    // Every stored record, in stored order, whether its file exists or not.
    QList<PersistedRecentDocumentRecord> decodedPersistedRecords() const;
    QList<RecentDocumentGroup> buildGroups(QList<PersistedRecentDocumentRecord>& persisted);
    RecentDocumentItem makeItem(const RecentDocumentRecord& record);
    QIcon applicationIcon(const RecentDocumentRecord& record);
    void gatheringFinished(const QList<RecentItemsResult>& results);
    void buildSystemRecords(const QList<std::pair<QString, QDateTime>>& found);
    void queueIconLoading(const QList<RecentDocumentRecord>& records, Workspace& workspace);

    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    RecentItemsIndex& recentItemsIndex_;
    RunningApplications& runningApplications_;
    Workspace& workspace_;
    std::shared_ptr<IconNameCache> iconCache_;
    QThreadPool iconQueue_;
    QList<SystemRecentDocumentRecord> systemRecentDocuments_;
    std::unique_ptr<RecentItemsQuery> metadataQuery_;
    // Cleared when the service goes, so queued background work stops early.
    std::shared_ptr<std::atomic<bool>> alive_;
};
