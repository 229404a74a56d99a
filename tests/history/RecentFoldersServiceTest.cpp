#include "HistoryTestSupport.h"

#include "history/RecentFoldersService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class RecentFoldersTest : public HistoryTest {
protected:
    RecentFoldersService& service() { return services->get<RecentFoldersService>(); }
    FakeRecentItemsIndex& index() { return *fakes.recentItemsIndex; }
    PersistedRecentFolderRecord record(const QString& path, const QDateTime& at) {
        return {path, QFileInfo(path).fileName(), at};
    }
    QStringList names() {
        QStringList out;
        for (const auto& item : service().currentFolders())
            out << item.displayName;
        return out;
    }
    QJsonArray stored() {
        return QJsonDocument::fromJson(
                   fakes.defaults->dataForKey(RecentFoldersService::storageKey.key()))
            .array();
    }
};

TEST_F(RecentFoldersTest, PersistedFoldersComeFirstAndIndexFoldersCountOnce) {
    const QString music = folder("Music");
    const QString projects = folder("Projects/sub");
    service().savePersistedRecords({record(music, hoursAgo(2)), record(projects, hoursAgo(1))});
    // The same folders spelled with "." and "..": once, at their persisted place.
    index().folders = {{folder("Photos"), now}, {music + "/./", now}, {projects + "/../sub", now}};
    // Until the first gathering ends there are no index folders.
    service().refresh();
    EXPECT_EQ(names(), (QStringList{"sub", "Music"}));
    ASSERT_TRUE(waitUntil([&] { return !service().isGathering(); }));
    const auto items = service().currentFolders();
    EXPECT_EQ(names(), (QStringList{"sub", "Music", "Photos"}));
    EXPECT_EQ(items[0].url, url(projects));
    EXPECT_EQ(fakes.workspace->nameOfIcon(items[0].icon), "file:" + projects);
}

TEST_F(RecentFoldersTest, GatheringKeepsExistingFoldersOfTheFirstTwentyResults) {
    index().folders = {{file("a file.txt"), now},
                       {tree.path("gone"), now},
                       {QString(), now},
                       {folder(".hidden"), QDateTime()}};
    for (int i = 0; i < 25; ++i)
        index().folders << RecentItemsResult{folder(QStringLiteral("d%1").arg(i)), hoursAgo(i)};
    service().refresh();
    ASSERT_TRUE(waitUntil([&] { return !service().isGathering(); }));
    const auto& found = service().systemRecentFolders();
    ASSERT_EQ(found.size(), 17);
    EXPECT_EQ(found[0].displayName, ".hidden");
    EXPECT_EQ(found[16].displayName, "d15");
    EXPECT_EQ(index().predicates.last().usedSince, QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(names().size(), 10);
}

TEST_F(RecentFoldersTest, StoredJsonHasItsShape) {
    const QString a = folder("a");
    const QDateTime at = QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC);
    service().savePersistedRecords({record(a, at)});
    const QJsonObject object = stored()[0].toObject();
    EXPECT_EQ(object.keys(), (QStringList{"displayName", "lastOpenedAt", "path"}));
    EXPECT_DOUBLE_EQ(object["lastOpenedAt"].toDouble(), 60.0);
    EXPECT_EQ(service().loadPersistedRecords(), QList{record(a, at)});
}

} // namespace
