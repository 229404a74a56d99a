#include "history/RecentDocumentsService.h"

#include "common/Dates.h"
#include "common/FileURL.h"
#include "common/Symbols.h"
#include "history/ApplicationFacts.h"
#include "history/HistoryOrder.h"
#include "history/RecentRecords.h"
#include "platform/FileSystem.h"
#include "platform/MainQueue.h"
#include "platform/RecentItemsIndex.h"
#include "platform/RunningApplications.h"
#include "platform/Workspace.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace {
QString typeForPath(const QString& path) {
    const QString name = path.section(u'/', -1);
    const qsizetype dot = name.lastIndexOf(u'.');
    // A leading dot names a hidden file, not an extension.
    if (dot <= 0 || dot == name.size() - 1)
        return QStringLiteral("public.data");
    return name.mid(dot + 1);
}
} // namespace

RecentDocumentsService::RecentDocumentsService(UserDefaults& defaults, FileSystem& fileSystem,
                                               RecentItemsIndex& recentItemsIndex,
                                               RunningApplications& runningApplications,
                                               Workspace& workspace)
    : defaults_(defaults), fileSystem_(fileSystem), recentItemsIndex_(recentItemsIndex),
      runningApplications_(runningApplications), workspace_(workspace),
      iconCache_(std::make_shared<IconNameCache>()),
      alive_(std::make_shared<std::atomic<bool>>(true)) {
    // One serial worker: record building and icon loading run one after another.
    iconQueue_.setMaxThreadCount(1);
    iconQueue_.setObjectName(QStringLiteral("recentdocs.icons"));
    // Fresh before the next press: what the desktop recorded while the menu was closed is
    // gathered at once, and icons of a history written meanwhile are loaded.
    connect(&recentItemsIndex_, &RecentItemsIndex::changed, this, &RecentDocumentsService::refresh);
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key != storageKey.key())
            return;
        QList<PersistedRecentDocumentRecord> records = loadPersistedRecords();
        if (records.size() > maxResults)
            records.resize(maxResults);
        prefetchIcons(records, workspace_);
    });
}

RecentDocumentsService::~RecentDocumentsService() {
    metadataQuery_.reset();
    alive_->store(false);
    iconQueue_.clear();
    iconQueue_.waitForDone();
}

void RecentDocumentsService::waitForBackgroundWork() {
    iconQueue_.waitForDone();
}

bool RecentDocumentsService::isGathering() const {
    return metadataQuery_ && metadataQuery_->isGathering();
}

void RecentDocumentsService::refresh() {
    const RecentItemsPredicate predicate{
        RecentItemKind::document, QDateTime::currentDateTimeUtc().addSecs(-queryWindowSeconds),
        maxQueryResults};
    // The query belongs to this service and never reports once destroyed.
    restartQuery(metadataQuery_, recentItemsIndex_, predicate,
                 [this](const QList<RecentItemsResult>& results) { gatheringFinished(results); });
}

void RecentDocumentsService::gatheringFinished(const QList<RecentItemsResult>& results) {
    // One-shot: the query is done with once it has reported.
    stopQuery(metadataQuery_);
    QList<std::pair<QString, QDateTime>> found;
    const qsizetype n = std::min<qsizetype>(results.size(), maxQueryResults);
    for (qsizetype i = 0; i < n; ++i) {
        const RecentItemsResult& result = results[i];
        // Hidden files and anything inside hidden folders stay out of the menu.
        if (result.path.isEmpty() || result.path.contains(QLatin1String("/.")))
            continue;
        found.append(
            {result.path, result.lastUsedDate.isValid() ? result.lastUsedDate : distantPast()});
    }
    iconQueue_.start([this, found] { buildSystemRecords(found); });
}

// On the background worker.
void RecentDocumentsService::buildSystemRecords(const QList<std::pair<QString, QDateTime>>& found) {
    if (!alive_->load())
        return;
    QList<SystemRecentDocumentRecord> records;
    for (const auto& [path, date] : found) {
        if (!alive_->load())
            return;
        if (!QFileInfo::exists(path))
            continue;
        const ApplicationFacts facts =
            applicationFacts(QUrl::fromLocalFile(path), workspace_, fileSystem_);
        records.append({path, fileSystem_.displayName(path), facts.appName, facts.appPath, date});
    }
    prefetchIcons(records, workspace_);
    runLaterOnMain(
        [this, records] {
            systemRecentDocuments_ = records;
            Q_EMIT didUpdate();
        },
        this);
}

void RecentDocumentsService::prefetchIcons(const QList<PersistedRecentDocumentRecord>& records,
                                           Workspace& workspace) {
    QList<RecentDocumentRecord> uncached;
    for (const RecentDocumentRecord& r : records)
        if (!iconCache_->contains(r.path))
            uncached.append(r);
    if (!uncached.isEmpty())
        queueIconLoading(uncached, workspace);
}

// Any thread. Nothing is announced when the icons arrive: the next list uses them.
void RecentDocumentsService::queueIconLoading(const QList<RecentDocumentRecord>& records,
                                              Workspace& workspace) {
    iconQueue_.start([records, workspace = &workspace, cache = iconCache_, alive = alive_] {
        for (const RecentDocumentRecord& r : records) {
            if (!alive->load())
                return;
            cache->setObject(workspace->iconNameForFile(r.path), r.path);
            if (r.appPath && !cache->contains(*r.appPath))
                cache->setObject(workspace->iconNameForFile(*r.appPath), *r.appPath);
        }
    });
}

QIcon RecentDocumentsService::applicationIcon(const RecentDocumentRecord& record) {
    const QString key = record.appPath ? *record.appPath : record.appName;
    if (auto name = iconCache_->object(key))
        return workspace_.iconForName(*name);
    if (record.appPath) {
        for (const RunningApplication& app : runningApplications_.runningApplications()) {
            if (!app.bundleURL || app.bundleURL->toLocalFile() != *record.appPath)
                continue;
            if (!app.iconName.isEmpty()) {
                QIcon icon = workspace_.iconForName(app.iconName);
                if (!icon.isNull())
                    return icon;
            }
            break;
        }
    }
    return symbolIcon(QStringLiteral("app"));
}

RecentDocumentItem RecentDocumentsService::makeItem(const RecentDocumentRecord& record) {
    RecentDocumentItem item;
    item.url = QUrl::fromLocalFile(record.path);
    item.displayName = record.displayName;
    item.appName = record.appName;
    if (auto name = iconCache_->object(record.path))
        item.icon = workspace_.iconForName(*name);
    else
        item.icon = workspace_.iconForFileType(typeForPath(record.path));
    item.appIcon = applicationIcon(record);
    return item;
}

QList<RecentDocumentGroup>
RecentDocumentsService::buildGroups(QList<PersistedRecentDocumentRecord>& persisted) {
    // Sorting before the existence check gives the same list as sorting after it, and the
    // main thread then looks at only as many files as the menu can show.
    persisted.clear();
    QList<RecentDocumentRecord> stored = decodedPersistedRecords();
    sortNewestFirst(stored);
    for (const RecentDocumentRecord& record : stored) {
        if (persisted.size() == maxResults)
            break;
        if (QFileInfo::exists(record.path))
            persisted.append(record);
    }

    QList<RecentDocumentGroup> groups;
    QHash<QString, qsizetype> groupOfApp;
    auto add = [&](const RecentDocumentRecord& record) {
        RecentDocumentItem item = makeItem(record);
        auto it = groupOfApp.constFind(record.appName);
        if (it == groupOfApp.constEnd()) {
            groupOfApp.insert(record.appName, groups.size());
            groups.append({record.appName, item.appIcon, {item}});
        } else {
            groups[*it].items.append(item);
        }
    };

    QSet<QString> persistedPaths;
    for (const RecentDocumentRecord& record : persisted) {
        persistedPaths.insert(record.path);
        add(record);
    }
    qsizetype room = maxResults - persisted.size();
    for (const RecentDocumentRecord& record : systemRecentDocuments_) {
        if (room <= 0)
            break;
        if (persistedPaths.contains(record.path))
            continue;
        add(record);
        --room;
    }
    return groups;
}

QList<RecentDocumentGroup> RecentDocumentsService::currentGroups() {
    QList<PersistedRecentDocumentRecord> persisted;
    QList<RecentDocumentGroup> groups = buildGroups(persisted);
    prefetchIcons(persisted, workspace_);
    return groups;
}

void RecentDocumentsService::recordOpened(const QUrl& url) {
    recordOpenedItem(
        *this, url, fileSystem_,
        [this](const QUrl& normalised,
               const QString& path) -> std::optional<PersistedRecentDocumentRecord> {
            if (!QFileInfo::exists(path))
                return std::nullopt;
            iconCache_->removeObject(path);
            const ApplicationFacts facts = applicationFacts(normalised, workspace_, fileSystem_);
            return PersistedRecentDocumentRecord{path, fileSystem_.displayName(path), facts.appName,
                                                 facts.appPath, QDateTime::currentDateTimeUtc()};
        });
}

void RecentDocumentsService::clearHistory() {
    defaults_.removeObject(storageKey.key());
    iconCache_->removeAllObjects();
}

QList<PersistedRecentDocumentRecord> RecentDocumentsService::decodedPersistedRecords() const {
    const QByteArray data = defaults_.dataForKey(storageKey.key());
    if (data.isEmpty())
        return {};
    return decodeRecentDocumentRecords(data).value_or(QList<RecentDocumentRecord>());
}

QList<PersistedRecentDocumentRecord> RecentDocumentsService::loadPersistedRecords() const {
    QList<PersistedRecentDocumentRecord> records = decodedPersistedRecords();
    records.removeIf([](const RecentDocumentRecord& r) { return !QFileInfo::exists(r.path); });
    return records;
}

void RecentDocumentsService::savePersistedRecords(
    const QList<PersistedRecentDocumentRecord>& records) {
    if (!allDated(records))
        return; // not encodable: keep what is stored
    defaults_.setObject(storageKey.key(), encodeRecentDocumentRecords(records));
}
