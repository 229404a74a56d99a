#include "HistoryTestSupport.h"

#include "common/Dates.h"
#include "history/RecentDocumentsService.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace {

const QUrl kEditor = QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/editor.desktop"));
const QUrl kViewer = QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/viewer.desktop"));

class RecentDocumentsTest : public HistoryTest {
protected:
    int updates = 0;

    void SetUp() override {
        HistoryTest::SetUp();
        workspace->setDefaultApplication(QStringLiteral("txt"), kEditor);
        workspace->setDefaultApplication(QStringLiteral("pdf"), kViewer);
        fileSystem->displayNames.insert(kEditor.toLocalFile(), QStringLiteral("Text Editor.APP"));
        fileSystem->displayNames.insert(kViewer.toLocalFile(), QStringLiteral("Viewer"));
        services->notifications().addObserver(RecentDocumentsService::didUpdateNotification,
                                              [this](const QVariantMap&) { ++updates; });
    }

    RecentDocumentsService& service() { return services->get<RecentDocumentsService>(); }

    PersistedRecentDocumentRecord record(const QString& path, const QDateTime& at,
                                         const QString& app = QStringLiteral("Text Editor")) {
        return {path, QFileInfo(path).fileName(), app, kEditor.toLocalFile(), at};
    }

    // Runs a gathering to its end, records built.
    void gather() {
        const int before = updates;
        service().refresh();
        ASSERT_TRUE(waitUntil([&] { return updates > before; }));
    }

    static QStringList names(const QList<RecentDocumentGroup>& groups) {
        QStringList out;
        for (const auto& g : groups)
            for (const auto& item : g.items)
                out << item.displayName;
        return out;
    }

    QJsonArray stored() {
        return QJsonDocument::fromJson(
                   defaults->dataForKey(RecentDocumentsService::storageKey.key()))
            .array();
    }
};

TEST_F(RecentDocumentsTest, PersistedRecordsComeFirstAndIndexResultsFillUpToTen) {
    QList<PersistedRecentDocumentRecord> persisted;
    for (int i = 1; i <= 9; ++i)
        persisted << record(file(QStringLiteral("p%1.txt").arg(i)), hoursAgo(i));
    std::swap(persisted[0], persisted[5]); // stored order is not list order
    service().savePersistedRecords(persisted);
    // The index's newest result is a persisted document; it is listed once, at its place.
    index->documents << RecentItemsResult{persisted[2].path, now};
    for (int i = 1; i <= 19; ++i)
        index->documents << RecentItemsResult{file(QStringLiteral("s%1.txt").arg(i)), hoursAgo(i)};
    gather();

    const auto groups = service().currentGroups();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0].appName, QStringLiteral("Text Editor"));
    EXPECT_EQ(names(groups), (QStringList{"p1.txt", "p2.txt", "p3.txt", "p4.txt", "p5.txt",
                                          "p6.txt", "p7.txt", "p8.txt", "p9.txt", "s1.txt"}));

    // Twelve persisted records: the ten newest, and nothing from the index.
    for (int i = 10; i <= 12; ++i)
        persisted << record(file(QStringLiteral("p%1.txt").arg(i)), hoursAgo(i - 20));
    service().savePersistedRecords(persisted);
    EXPECT_EQ(names(service().currentGroups()),
              (QStringList{"p10.txt", "p11.txt", "p12.txt", "p1.txt", "p2.txt", "p3.txt", "p4.txt",
                           "p5.txt", "p6.txt", "p7.txt"}));
}

TEST_F(RecentDocumentsTest, EqualDatesOrderByDisplayNameIgnoringCase) {
    const QDateTime t = hoursAgo(1);
    auto banana = record(file(QStringLiteral("Banana.txt")), t);
    auto apple = record(file(QStringLiteral("apple.txt")), t);
    auto cherry = record(file(QStringLiteral("Cherry.txt")), t);
    auto newer = record(file(QStringLiteral("zebra.txt")), hoursAgo(0));
    service().savePersistedRecords({banana, cherry, apple, newer});
    EXPECT_EQ(names(service().currentGroups()),
              (QStringList{"zebra.txt", "apple.txt", "Banana.txt", "Cherry.txt"}));
}

TEST_F(RecentDocumentsTest, DocumentsOfOneApplicationFormOneGroupWhereItFirstAppears) {
    const QString a = file(QStringLiteral("a.txt"));
    const QString b = file(QStringLiteral("b.pdf"));
    const QString c = file(QStringLiteral("c.txt"));
    const QString d = file(QStringLiteral("README"));
    for (const QString& path : {d, c, b, a}) {
        service().recordOpened(QUrl::fromLocalFile(path));
        QThread::msleep(2); // distinct dates
    }
    const auto groups = service().currentGroups();
    ASSERT_EQ(groups.size(), 3);
    // ".APP" is trimmed whatever its case; a file no application opens is "Other".
    EXPECT_EQ(groups[0].appName, QStringLiteral("Text Editor"));
    EXPECT_EQ(names({groups[0]}), (QStringList{"a.txt", "c.txt"}));
    EXPECT_EQ(groups[1].appName, QStringLiteral("Viewer"));
    EXPECT_EQ(groups[2].appName, QStringLiteral("Other"));
    EXPECT_EQ(groups[0].items[0].url, QUrl::fromLocalFile(a));
    EXPECT_EQ(groups[0].items[1].appName, QStringLiteral("Text Editor"));

    const auto stored = service().loadPersistedRecords();
    ASSERT_EQ(stored.size(), 4);
    EXPECT_EQ(stored[3].appPath, kEditor.toLocalFile());
    EXPECT_EQ(stored[0].appName, QStringLiteral("Other"));
    EXPECT_FALSE(stored[0].appPath.has_value());
}

TEST_F(RecentDocumentsTest, IconsComeFromTheCacheOrTheTypeAndAreLoadedInTheBackground) {
    const QString a = file(QStringLiteral("a.txt"));
    const QString plain = file(QStringLiteral("Makefile"));
    service().savePersistedRecords({record(a, hoursAgo(1)), record(plain, hoursAgo(2))});
    // The editor runs: its icon stands in until the cache has one.
    RunningApplication editor = makeRunningApplication(
        QStringLiteral("Editor"), QStringLiteral("editor.desktop"), kEditor.toLocalFile());
    editor.iconName = QStringLiteral("running-editor");
    running->apps = {editor};
    workspace->setIconName(kEditor.toLocalFile(), QStringLiteral("editor-icon"));

    auto groups = service().currentGroups();
    ASSERT_EQ(groups[0].items.size(), 2);
    EXPECT_EQ(workspace->nameOfIcon(groups[0].items[0].icon), QStringLiteral("type:txt"));
    EXPECT_EQ(workspace->nameOfIcon(groups[0].items[1].icon), QStringLiteral("type:public.data"));
    EXPECT_EQ(workspace->nameOfIcon(groups[0].appIcon), QStringLiteral("running-editor"));

    // The build queued the loading; the next build finds the icons.
    ASSERT_TRUE(waitUntil([&] { return service().iconCache().count() == 3; }));
    groups = service().currentGroups();
    EXPECT_EQ(workspace->nameOfIcon(groups[0].items[0].icon), QStringLiteral("file:") + a);
    EXPECT_EQ(workspace->nameOfIcon(groups[0].items[1].icon), QStringLiteral("file:") + plain);
    EXPECT_EQ(workspace->nameOfIcon(groups[0].appIcon), QStringLiteral("editor-icon"));

    // Opening a document drops its cached icon, so it is loaded afresh.
    service().waitForBackgroundWork();
    service().recordOpened(QUrl::fromLocalFile(a));
    EXPECT_FALSE(service().iconCache().contains(a));
    EXPECT_TRUE(service().iconCache().contains(plain));

    // No cached icon and no running application: the generic application icon.
    service().iconCache().removeAllObjects();
    running->apps.clear();
    groups = service().currentGroups();
    EXPECT_TRUE(workspace->nameOfIcon(groups[0].appIcon).isEmpty());
}

TEST_F(RecentDocumentsTest, BuildingAMenuNeverWaitsForTheWorkspace) {
    // Notes every call that may touch the disk made on the main thread; off the main thread
    // such calls can be held back until the test lets them go.
    struct WatchedWorkspace : FakeWorkspace {
        std::atomic<int> diskCallsOnMain{0};
        std::atomic<bool> held{false};
        void note() {
            if (QThread::currentThread() == qApp->thread())
                ++diskCallsOnMain;
            else
                while (held.load())
                    QThread::msleep(2);
        }
        QString iconNameForFile(const QString& path) override {
            note();
            return FakeWorkspace::iconNameForFile(path);
        }
        std::optional<QUrl> applicationToOpenURL(const QUrl& url) override {
            note();
            return FakeWorkspace::applicationToOpenURL(url);
        }
    };
    auto watched = std::make_shared<WatchedWorkspace>();
    watched->setDefaultApplication(QStringLiteral("txt"), kEditor);
    services.reset();
    workspace = watched;
    services = std::make_unique<Services>(makePlatform());
    services->notifications().addObserver(RecentDocumentsService::didUpdateNotification,
                                          [this](const QVariantMap&) { ++updates; });

    QList<PersistedRecentDocumentRecord> persisted;
    for (int i = 0; i < 5; ++i)
        persisted << record(file(QStringLiteral("p%1.txt").arg(i)), hoursAgo(i + 1));
    service().savePersistedRecords(persisted);
    index->documents = {{file(QStringLiteral("s.txt")), now}};
    gather();
    service().waitForBackgroundWork();
    ASSERT_EQ(service().systemRecentDocuments().size(), 1);
    const qsizetype cached = service().iconCache().count(); // s.txt and the editor

    // Every disk call is slow, and the background worker is stuck on its first one: lists
    // are still built, from what is cached and the type icons.
    watched->slowCallMs = 300;
    watched->held = true;
    for (int round = 0; round < 3; ++round) {
        const auto groups = service().currentGroups();
        ASSERT_EQ(names(groups).size(), 6);
        EXPECT_EQ(workspace->nameOfIcon(groups[0].items[0].icon), QStringLiteral("type:txt"));
    }
    QList<RecentDocumentGroup> updated;
    service().updateGroups(QPointer<QObject>(qApp),
                           [&](QList<RecentDocumentGroup> g) { updated = g; });
    EXPECT_EQ(names(updated).size(), 6);
    EXPECT_EQ(watched->diskCallsOnMain.load(), 0);
    EXPECT_EQ(service().iconCache().count(), cached);

    watched->slowCallMs = 0;
    watched->held = false;
    service().waitForBackgroundWork();
    EXPECT_EQ(service().iconCache().count(), cached + 5);
    EXPECT_EQ(watched->diskCallsOnMain.load(), 0);
}

TEST_F(RecentDocumentsTest, GatheringTakesTheFirstThirtyVisibleExistingResults) {
    const QString visible = file(QStringLiteral("Docs/visible.txt"));
    const QString hidden = file(QStringLiteral(".config/settings.txt"));
    const QString dotted = file(QStringLiteral(".notes"));
    const QString undated = file(QStringLiteral("undated.pdf"));
    index->documents = {
        {hidden, now},    {dotted, now},          {home.path() + QStringLiteral("/gone.txt"), now},
        {QString(), now}, {visible, hoursAgo(1)}, {undated, QDateTime()}};
    for (int i = 0; i < 30; ++i)
        index->documents << RecentItemsResult{home.path() + QStringLiteral("/missing%1").arg(i),
                                              now};
    index->documents << RecentItemsResult{file(QStringLiteral("late.txt")), now};
    gather();

    const auto& records = service().systemRecentDocuments();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0], (SystemRecentDocumentRecord{visible, QStringLiteral("visible.txt"),
                                                      QStringLiteral("Text Editor"),
                                                      kEditor.toLocalFile(), hoursAgo(1)}));
    EXPECT_EQ(records[1].path, undated);
    EXPECT_EQ(records[1].appName, QStringLiteral("Viewer"));
    EXPECT_EQ(records[1].lastOpenedAt, distantPast());

    // What was asked of the index.
    const RecentItemsPredicate& asked = index->predicates.last();
    EXPECT_EQ(asked.kind, RecentItemKind::document);
    EXPECT_EQ(asked.resultLimit, 30);
    EXPECT_NEAR(asked.usedSince.secsTo(now), 30 * 24 * 3600, 60);
    // A hidden document the user opened through the strip is listed all the same.
    service().recordOpened(QUrl::fromLocalFile(hidden));
    EXPECT_EQ(names(service().currentGroups()),
              (QStringList{"settings.txt", "visible.txt", "undated.pdf"}));
}

TEST_F(RecentDocumentsTest, AtMostOneQueryIsInFlightAndEachGatheringIsAnnounced) {
    index->autoFinish = false;
    service().refresh();
    service().refresh();
    service().refresh();
    EXPECT_EQ(index->starts, 3);
    EXPECT_EQ(index->stops, 2);
    EXPECT_EQ(index->gatheringCount(), 1);
    EXPECT_TRUE(service().isGathering());
    index->documents = {{file(QStringLiteral("a.txt")), now}};
    EXPECT_EQ(index->finishGathering(), 1);
    EXPECT_FALSE(service().isGathering());
    ASSERT_TRUE(waitUntil([&] { return updates == 1; }));
    drainEvents();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(service().systemRecentDocuments().size(), 1);

    // An owner that is gone gets nothing; a live one gets the list.
    auto owner = std::make_unique<QObject>();
    QPointer<QObject> weak(owner.get());
    int stores = 0;
    service().updateGroups(weak, [&](QList<RecentDocumentGroup> g) {
        ++stores;
        EXPECT_EQ(g.size(), 1);
    });
    owner.reset();
    service().updateGroups(weak, [&](QList<RecentDocumentGroup>) { ++stores; });
    EXPECT_EQ(stores, 1);
}

TEST_F(RecentDocumentsTest, OpeningTheSameFileAgainOrThroughALinkKeepsOneRecord) {
    const QString target = file(QStringLiteral("Docs/report.txt"));
    const QString other = file(QStringLiteral("other.txt"));
    const QString link = home.path() + QStringLiteral("/report-link.txt");
    ASSERT_TRUE(QFile::link(target, link));
    const QString alias = home.path() + QStringLiteral("/report alias");
    QFile(alias).open(QIODevice::WriteOnly);
    fileSystem->aliases.insert(QFileInfo(alias).absoluteFilePath(), target);

    service().recordOpened(QUrl::fromLocalFile(target));
    service().recordOpened(QUrl::fromLocalFile(other));
    const QDateTime first = service().loadPersistedRecords()[0].lastOpenedAt;
    QThread::msleep(5);
    service().recordOpened(QUrl::fromLocalFile(target));
    auto records = service().loadPersistedRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].path, target);
    EXPECT_GT(records[1].lastOpenedAt, first);

    service().recordOpened(QUrl::fromLocalFile(link));
    service().recordOpened(QUrl::fromLocalFile(alias));
    records = service().loadPersistedRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].path, other);
    EXPECT_EQ(records[1].path, target);
    EXPECT_EQ(records[1].displayName, QStringLiteral("report.txt"));

    // Nothing is recorded for what is not an existing file.
    service().recordOpened(QUrl(QStringLiteral("https://example.org/a.txt")));
    service().recordOpened(QUrl::fromLocalFile(home.path() + QStringLiteral("/nothing.txt")));
    EXPECT_EQ(service().loadPersistedRecords().size(), 2);
}

TEST_F(RecentDocumentsTest, ARecordWhoseFileWentIsHiddenAndDroppedAtTheNextRecording) {
    const QString a = file(QStringLiteral("a.txt"));
    const QString b = file(QStringLiteral("b.txt"));
    const QString c = file(QStringLiteral("c.txt"));
    service().recordOpened(QUrl::fromLocalFile(a));
    service().recordOpened(QUrl::fromLocalFile(b));
    QFile::remove(a);
    EXPECT_EQ(names(service().currentGroups()), QStringList{"b.txt"});
    EXPECT_EQ(stored().size(), 2); // loading alone leaves the stored list alone
    service().recordOpened(QUrl::fromLocalFile(c));
    const QJsonArray after = stored();
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].toObject()[QStringLiteral("path")].toString(), b);
    EXPECT_EQ(after[1].toObject()[QStringLiteral("path")].toString(), c);

    // Twelve records of which the newest two are gone: the other ten, newest first.
    QList<PersistedRecentDocumentRecord> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << record(file(QStringLiteral("t%1.txt").arg(i)), hoursAgo(i));
    service().savePersistedRecords(twelve);
    QFile::remove(twelve[0].path);
    QFile::remove(twelve[1].path);
    EXPECT_EQ(names(service().currentGroups()),
              (QStringList{"t3.txt", "t4.txt", "t5.txt", "t6.txt", "t7.txt", "t8.txt", "t9.txt",
                           "t10.txt", "t11.txt", "t12.txt"}));
}

TEST_F(RecentDocumentsTest, StoredJsonHasTheDocumentedShape) {
    const QString a = file(QStringLiteral("a.txt"));
    const QString b = file(QStringLiteral("b.bin"));
    const QDateTime at = QDateTime(QDate(2001, 1, 2), QTime(0, 0, 1, 500), Qt::UTC);
    PersistedRecentDocumentRecord withApp = record(a, at);
    PersistedRecentDocumentRecord withoutApp{b, QStringLiteral("b.bin"), QStringLiteral("Other"),
                                             std::nullopt, at};
    service().savePersistedRecords({withApp, withoutApp});

    const QJsonArray array = stored();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first.keys(),
              (QStringList{"appName", "appPath", "displayName", "lastOpenedAt", "path"}));
    EXPECT_DOUBLE_EQ(first[QStringLiteral("lastOpenedAt")].toDouble(), 86401.5);
    EXPECT_EQ(first[QStringLiteral("appPath")].toString(), kEditor.toLocalFile());
    EXPECT_FALSE(array[1].toObject().contains(QStringLiteral("appPath")));
    EXPECT_EQ(service().loadPersistedRecords(), (QList{withApp, withoutApp}));
}

TEST_F(RecentDocumentsTest, UnreadableStoredDataReadsAsEmptyAndIsReplacedAtTheNextRecording) {
    const QString a = file(QStringLiteral("a.txt"));
    const QString b = file(QStringLiteral("b.txt"));
    const QString key = RecentDocumentsService::storageKey.key();
    auto entry = [&](const QString& path) {
        return QJsonObject{{"path", path},
                           {"displayName", "a.txt"},
                           {"appName", "Text Editor"},
                           {"lastOpenedAt", 700000000.25}};
    };
    auto put = [&](const QJsonArray& array) {
        defaults->setObject(key, QJsonDocument(array).toJson());
    };

    // A null or missing "appPath" reads as absent.
    QJsonObject nullApp = entry(a);
    nullApp.insert(QStringLiteral("appPath"), QJsonValue::Null);
    put({nullApp, entry(b)});
    auto records = service().loadPersistedRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_FALSE(records[0].appPath.has_value());
    EXPECT_EQ(records[0].lastOpenedAt, dateFromSecondsSince2001(700000000.25));

    QJsonObject missing = entry(a);
    missing.remove(QStringLiteral("displayName"));
    QJsonObject nullDate = entry(a);
    nullDate.insert(QStringLiteral("lastOpenedAt"), QJsonValue::Null);
    QJsonObject wrongApp = entry(a);
    wrongApp.insert(QStringLiteral("appPath"), 3);
    QJsonObject dateAsText = entry(a);
    dateAsText.insert(QStringLiteral("lastOpenedAt"), QStringLiteral("2024-01-01"));
    const QList<QByteArray> unreadable{
        QJsonDocument(QJsonArray{entry(b), missing}).toJson(),
        QJsonDocument(QJsonArray{nullDate}).toJson(),
        QJsonDocument(QJsonArray{wrongApp}).toJson(),
        QJsonDocument(QJsonArray{dateAsText}).toJson(),
        QJsonDocument(QJsonArray{entry(a), 5}).toJson(),
        QJsonDocument(entry(a)).toJson(),
        "[{\"path\":",
        "\xff\xfe",
        "[{\"path\":\"" + a.toUtf8() +
            "\",\"displayName\":\"a\",\"appName\":\"x\",\"lastOpenedAt\":1e999}]"};
    for (const QByteArray& data : unreadable) {
        defaults->setObject(key, data);
        EXPECT_TRUE(service().loadPersistedRecords().isEmpty()) << data.toStdString();
        EXPECT_TRUE(service().currentGroups().isEmpty());
        EXPECT_EQ(defaults->dataForKey(key), data); // reading does not touch it
    }
    // A stored value that is not data at all counts as empty too.
    defaults->setObject(key, QStringLiteral("text"));
    EXPECT_TRUE(service().loadPersistedRecords().isEmpty());

    service().recordOpened(QUrl::fromLocalFile(b));
    records = service().loadPersistedRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].path, b);
}

TEST_F(RecentDocumentsTest, ClearingLeavesTheIndexRecordsOnly) {
    service().recordOpened(QUrl::fromLocalFile(file(QStringLiteral("mine.txt"))));
    index->documents = {{file(QStringLiteral("system.txt")), now}};
    gather();
    service().waitForBackgroundWork();
    EXPECT_EQ(names(service().currentGroups()), (QStringList{"mine.txt", "system.txt"}));
    // What the strip's clear action does.
    defaults->removeObject(RecentDocumentsService::storageKey.key());
    service().iconCache().removeAllObjects();
    EXPECT_EQ(service().iconCache().count(), 0);
    QList<RecentDocumentGroup> groups;
    service().updateGroups(QPointer<QObject>(qApp),
                           [&](QList<RecentDocumentGroup> g) { groups = g; });
    EXPECT_EQ(names(groups), QStringList{"system.txt"});
}

TEST_F(RecentDocumentsTest, GoingAwayWithWorkQueuedIsSafe) {
    workspace->slowCallMs = 50;
    QList<PersistedRecentDocumentRecord> persisted;
    for (int i = 0; i < 20; ++i)
        persisted << record(file(QStringLiteral("p%1.txt").arg(i)), hoursAgo(i));
    index->documents = {{persisted[0].path, now}, {persisted[1].path, now}};
    service().prefetchIcons(persisted, *workspace);
    service().refresh();
    drainEvents();
    services.reset(); // waits only for the call in progress
    drainEvents();
    EXPECT_EQ(updates, 0);
}

} // namespace
