#include "HistoryTestSupport.h"

#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace {

class RecentFoldersTest : public HistoryTest {
protected:
    RecentFoldersService& service() { return services->get<RecentFoldersService>(); }

    PersistedRecentFolderRecord record(const QString& path, const QDateTime& at) {
        return {path, QFileInfo(path).fileName(), at};
    }
    void gather() {
        service().refresh();
        ASSERT_TRUE(waitUntil([&] { return !service().isGathering(); }));
    }
    static QStringList names(const QList<RecentFolderItem>& items) {
        QStringList out;
        for (const auto& item : items)
            out << item.displayName;
        return out;
    }
    QJsonArray stored() {
        return QJsonDocument::fromJson(defaults->dataForKey(RecentFoldersService::storageKey.key()))
            .array();
    }
};

TEST_F(RecentFoldersTest, PersistedFoldersComeFirstOnceEachAndTenAtMost) {
    const QString music = folder(QStringLiteral("Music"));
    const QString projects = folder(QStringLiteral("Projects"));
    const QString photos = folder(QStringLiteral("Photos"));
    service().savePersistedRecords({record(music, hoursAgo(2)), record(projects, hoursAgo(1))});
    // The same folders spelled with "." and ".." count once, at their persisted place.
    index->folders = {{photos, now},
                      {music + QStringLiteral("/./"), now},
                      {projects + QStringLiteral("/sub/.."), now}};
    folder(QStringLiteral("Projects/sub"));
    // The first list after start-up has no index folders yet.
    service().refresh();
    EXPECT_EQ(names(service().currentFolders()), (QStringList{"Projects", "Music"}));
    ASSERT_TRUE(waitUntil([&] { return !service().isGathering(); }));
    const auto items = service().currentFolders();
    EXPECT_EQ(names(items), (QStringList{"Projects", "Music", "Photos"}));
    EXPECT_EQ(items[0].url, QUrl::fromLocalFile(projects));
    EXPECT_EQ(workspace->nameOfIcon(items[0].icon), QStringLiteral("file:") + projects);
    EXPECT_EQ(workspace->nameOfIcon(items[2].icon), QStringLiteral("file:") + photos);

    // Twelve persisted folders: the ten newest, and no index folder.
    QList<PersistedRecentFolderRecord> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << record(folder(QStringLiteral("f%1").arg(i)), hoursAgo(i));
    service().savePersistedRecords(twelve);
    EXPECT_EQ(names(service().currentFolders()),
              (QStringList{"f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10"}));
}

TEST_F(RecentFoldersTest, GatheringKeepsExistingFoldersOfTheFirstTwentyResults) {
    QList<RecentItemsResult> results;
    results << RecentItemsResult{file(QStringLiteral("a file.txt")), now}
            << RecentItemsResult{home.path() + QStringLiteral("/gone"), now}
            << RecentItemsResult{QString(), now}
            << RecentItemsResult{folder(QStringLiteral(".hidden")), QDateTime()};
    for (int i = 0; i < 25; ++i)
        results << RecentItemsResult{folder(QStringLiteral("d%1").arg(i)), hoursAgo(i)};
    index->folders = results;
    gather();
    const auto& system = service().systemRecentFolders();
    ASSERT_EQ(system.size(), 17);
    EXPECT_EQ(system[0].displayName, QStringLiteral(".hidden"));
    EXPECT_EQ(system[16].displayName, QStringLiteral("d15"));

    const RecentItemsPredicate& asked = index->predicates.last();
    EXPECT_EQ(asked.kind, RecentItemKind::folder);
    EXPECT_EQ(asked.resultLimit, 20);
    EXPECT_EQ(asked.usedSince, QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(names(service().currentFolders()).size(), 10);
    // A gathering is not announced.
    int updates = 0;
    services->notifications().addObserver(RecentDocumentsService::didUpdateNotification,
                                          [&](const QVariantMap&) { ++updates; });
    gather();
    drainEvents();
    EXPECT_EQ(updates, 0);

    // A second refresh replaces the query in flight.
    index->autoFinish = false;
    service().refresh();
    service().refresh();
    EXPECT_EQ(index->gatheringCount(), 1);
}

TEST_F(RecentFoldersTest, RecordingKeepsOneRecordPerResolvedFolder) {
    const QString target = folder(QStringLiteral("Work/Project"));
    const QString other = folder(QStringLiteral("Other"));
    const QString link = home.path() + QStringLiteral("/project-link");
    ASSERT_TRUE(QFile::link(target, link));
    const QString alias = home.path() + QStringLiteral("/Project alias");
    QFile(alias).open(QIODevice::WriteOnly);
    fileSystem->aliases.insert(QFileInfo(alias).absoluteFilePath(), target);

    service().recordOpened(QUrl::fromLocalFile(target));
    service().recordOpened(QUrl::fromLocalFile(other));
    service().recordOpened(QUrl::fromLocalFile(link));
    QThread::msleep(5);
    service().recordOpened(QUrl::fromLocalFile(alias));
    auto records = service().loadPersistedRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].path, other);
    EXPECT_EQ(records[1].path, target);
    EXPECT_EQ(names(service().currentFolders()), (QStringList{"Project", "Other"}));

    // Files, missing items and other URLs are not recorded.
    service().recordOpened(QUrl::fromLocalFile(file(QStringLiteral("a.txt"))));
    service().recordOpened(QUrl::fromLocalFile(home.path() + QStringLiteral("/none")));
    service().recordOpened(QUrl(QStringLiteral("https://example.org/")));
    EXPECT_EQ(service().loadPersistedRecords().size(), 2);
}

TEST_F(RecentFoldersTest, FoldersThatWentAreHiddenAndDroppedAtTheNextRecording) {
    const QString a = folder(QStringLiteral("a"));
    const QString b = folder(QStringLiteral("b"));
    const QString c = folder(QStringLiteral("c"));
    for (const QString& path : {a, b})
        service().recordOpened(QUrl::fromLocalFile(path));
    // One is deleted, the other replaced by a file.
    QDir(a).removeRecursively();
    QDir(b).removeRecursively();
    QFile(b).open(QIODevice::WriteOnly);
    EXPECT_TRUE(service().currentFolders().isEmpty());
    EXPECT_EQ(stored().size(), 2);
    service().recordOpened(QUrl::fromLocalFile(c));
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0].toObject()[QStringLiteral("path")].toString(), c);
}

TEST_F(RecentFoldersTest, EqualDatesOrderByDisplayNameIgnoringCase) {
    const QDateTime t = hoursAgo(3);
    service().savePersistedRecords({record(folder(QStringLiteral("Zoo")), t),
                                    record(folder(QStringLiteral("beta")), t),
                                    record(folder(QStringLiteral("Alpha")), t)});
    EXPECT_EQ(names(service().currentFolders()), (QStringList{"Alpha", "beta", "Zoo"}));
}

TEST_F(RecentFoldersTest, StoredJsonRoundTripsAndUnreadableDataIsReplaced) {
    const QString a = folder(QStringLiteral("a"));
    const QString key = RecentFoldersService::storageKey.key();
    const QDateTime at = QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC);
    service().savePersistedRecords({record(a, at)});
    const QJsonObject object = stored()[0].toObject();
    EXPECT_EQ(object.keys(), (QStringList{"displayName", "lastOpenedAt", "path"}));
    EXPECT_DOUBLE_EQ(object[QStringLiteral("lastOpenedAt")].toDouble(), 60.0);
    EXPECT_EQ(service().loadPersistedRecords(), QList{record(a, at)});

    QJsonObject missing = object;
    missing.remove(QStringLiteral("displayName"));
    QJsonObject nullPath = object;
    nullPath.insert(QStringLiteral("path"), QJsonValue::Null);
    for (const QJsonObject& bad : {missing, nullPath}) {
        const QByteArray data = QJsonDocument(QJsonArray{object, bad}).toJson();
        defaults->setObject(key, data);
        EXPECT_TRUE(service().currentFolders().isEmpty());
        EXPECT_EQ(defaults->dataForKey(key), data);
    }
    const QString b = folder(QStringLiteral("b"));
    service().recordOpened(QUrl::fromLocalFile(b));
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0].toObject()[QStringLiteral("path")].toString(), b);
}

} // namespace
