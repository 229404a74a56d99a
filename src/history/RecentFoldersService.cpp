#include "history/RecentFoldersService.h"

#include "common/FileURL.h"
#include "history/HistoryOrder.h"
#include "history/RecentRecords.h"
#include "platform/FileSystem.h"
#include "platform/RecentItemsIndex.h"
#include "platform/Workspace.h"

#include <QFileInfo>
#include <QSet>

RecentFoldersService::RecentFoldersService(UserDefaults& defaults, FileSystem& fileSystem,
                                           RecentItemsIndex& recentItemsIndex, Workspace& workspace)
    : defaults_(defaults), fileSystem_(fileSystem), recentItemsIndex_(recentItemsIndex),
      workspace_(workspace) {
    // What the desktop recorded while the menu was closed is there at the next press.
    connect(&recentItemsIndex_, &RecentItemsIndex::changed, this, &RecentFoldersService::refresh);
}

RecentFoldersService::~RecentFoldersService() = default;

bool RecentFoldersService::isGathering() const {
    return metadataQuery_ && metadataQuery_->isGathering();
}

void RecentFoldersService::refresh() {
    // Every folder with a last-used date qualifies.
    const RecentItemsPredicate predicate{
        RecentItemKind::folder, QDateTime::fromSecsSinceEpoch(0, Qt::UTC), maxQueryResults};
    restartQuery(metadataQuery_, recentItemsIndex_, predicate,
                 [this](const QList<RecentItemsResult>& results) { gatheringFinished(results); });
}

RecentFolderItem RecentFoldersService::makeItem(const QString& path, const QString& displayName) {
    return {QUrl::fromLocalFile(path), displayName, workspace_.iconForFile(path)};
}

void RecentFoldersService::gatheringFinished(const QList<RecentItemsResult>& results) {
    stopQuery(metadataQuery_);
    QList<RecentFolderItem> items;
    const qsizetype n = std::min<qsizetype>(results.size(), maxQueryResults);
    for (qsizetype i = 0; i < n; ++i) {
        const QString& path = results[i].path;
        if (path.isEmpty() || !QFileInfo(path).isDir())
            continue;
        items.append(makeItem(path, fileSystem_.displayName(path)));
    }
    systemRecentFolders_ = items;
}

QList<RecentFolderItem> RecentFoldersService::currentFolders() {
    QList<PersistedRecentFolderRecord> persisted = loadPersistedRecords();
    sortNewestFirst(persisted);
    QList<RecentFolderItem> candidates;
    for (const PersistedRecentFolderRecord& r : persisted)
        candidates.append(makeItem(r.path, r.displayName));
    candidates.append(systemRecentFolders_);

    QSet<QString> seen;
    QList<RecentFolderItem> result;
    for (const RecentFolderItem& item : candidates) {
        const QString path = standardizedPath(item.url);
        if (seen.contains(path))
            continue;
        seen.insert(path);
        result.append(item);
        if (result.size() == maxResults)
            break;
    }
    return result;
}

void RecentFoldersService::recordOpened(const QUrl& url) {
    recordOpenedItem(
        *this, url, fileSystem_,
        [this](const QUrl&, const QString& path) -> std::optional<PersistedRecentFolderRecord> {
            if (!QFileInfo(path).isDir())
                return std::nullopt;
            return PersistedRecentFolderRecord{path, fileSystem_.displayName(path),
                                               QDateTime::currentDateTimeUtc()};
        });
}

void RecentFoldersService::clearHistory() {
    defaults_.removeObject(storageKey.key());
}

QList<PersistedRecentFolderRecord> RecentFoldersService::loadPersistedRecords() const {
    const QByteArray data = defaults_.dataForKey(storageKey.key());
    if (data.isEmpty())
        return {};
    auto decoded = decodeRecentFolderRecords(data);
    if (!decoded)
        return {};
    decoded->removeIf(
        [](const PersistedRecentFolderRecord& r) { return !QFileInfo(r.path).isDir(); });
    return *decoded;
}

void RecentFoldersService::savePersistedRecords(const QList<PersistedRecentFolderRecord>& records) {
    if (!allDated(records))
        return;
    defaults_.setObject(storageKey.key(), encodeRecentFolderRecords(records));
}
