#include "HistoryTestSupport.h"

#include "common/Dates.h"

#include <QElapsedTimer>
#include <QScopeGuard>

namespace {

const QString kEditor = "/usr/share/applications/editor.desktop";
const QString kViewer = "/usr/share/applications/viewer.desktop";

class RecentDocumentsTest : public HistoryTest {
protected:
    RecentDocumentsTest() {
        fakes.workspace->setDefaultApplication("txt", url(kEditor));
        fakes.workspace->setDefaultApplication("pdf", url(kViewer));
        fakes.fileSystem->displayNames.insert(kEditor, "Text Editor.APP");
        fakes.fileSystem->displayNames.insert(kViewer, "Viewer");
    }

    RecentDocumentsService& service() { return *documents; }
    LazyService<RecentDocumentsService> documents{[this] {
        return std::make_unique<RecentDocumentsService>(*fakes.defaults, *fakes.fileSystem,
                                                        *fakes.recentItemsIndex, *fakes.running,
                                                        *fakes.workspace);
    }};
    FakeRecentItemsIndex& index() { return *fakes.recentItemsIndex; }

    PersistedRecentDocumentRecord record(const QString& path, const QDateTime& at) {
        return {path, QFileInfo(path).fileName(), "Text Editor", kEditor, at};
    }
    // Documents "<prefix><i>.txt" for i in [from, to], each i hours old.
    QList<PersistedRecentDocumentRecord> records(const char* prefix, int from, int to) {
        QList<PersistedRecentDocumentRecord> out;
        for (int i = from; i <= to; ++i)
            out << record(file(QStringLiteral("%1%2.txt").arg(prefix).arg(i)), hoursAgo(i));
        return out;
    }
    QStringList names() { return displayNames(service()); }
};

TEST_F(RecentDocumentsTest, DocumentsOfOneApplicationFormOneGroupWhereItFirstAppears) {
    for (const char* name : {"README", "c.txt", "b.pdf", "a.txt"}) {
        clockMovesOn();
        service().recordOpened(url(file(QString::fromLatin1(name))));
    }
    QStringList groups; // a file no application opens is "Other"
    for (const auto& group : service().currentGroups())
        groups << group.appName + ": " + displayNames(group.items).join(u',');
    EXPECT_EQ(groups, (QStringList{"Text Editor: a.txt,c.txt", "Viewer: b.pdf", "Other: README"}));
}

TEST_F(RecentDocumentsTest, GatheringTakesTheFirstThirtyVisibleExistingResults) {
    const QString visible = file("Docs/visible.txt"), hidden = file(".config/settings.txt");
    const QString undated = file("undated.pdf");
    index().documents = {{hidden, now},    {file(".notes"), now},  {tree.path("gone.txt"), now},
                         {QString(), now}, {visible, hoursAgo(1)}, {undated, QDateTime()}};
    for (int i = 0; i < 30; ++i)
        index().documents << RecentItemsResult{tree.path(QStringLiteral("missing%1").arg(i)), now};
    index().documents << RecentItemsResult{file("late.txt"), now};
    service().refresh();
    ASSERT_TRUE(waitUntil([&] { return service().systemRecentDocuments().size() == 2; }));

    const auto& found = service().systemRecentDocuments();
    EXPECT_EQ(found[0], (SystemRecentDocumentRecord{visible, "visible.txt", "Text Editor", kEditor,
                                                    hoursAgo(1)}));
    EXPECT_EQ(found[1].appName, "Viewer");
    EXPECT_EQ(found[1].lastOpenedAt, distantPast());
    // A hidden document the user opened through the strip is listed all the same.
    service().recordOpened(url(hidden));
    EXPECT_EQ(names(), (QStringList{"settings.txt", "visible.txt", "undated.pdf"}));
}

TEST_F(RecentDocumentsTest, IconsComeFromTheCacheOrTheTypeAndAreLoadedInTheBackground) {
    const QString a = file("a.txt"), plain = file("Makefile");
    service().savePersistedRecords({record(a, hoursAgo(1)), record(plain, hoursAgo(2))});
    // A history written meanwhile has its icons loaded at once; this listing starts without.
    service().waitForBackgroundWork();
    service().iconCache().removeAllObjects();
    // The editor runs: its icon stands in until the cache has one.
    RunningApplication editor = makeRunningApplication("Editor", "editor.desktop", kEditor);
    editor.iconName = "running-editor";
    fakes.running->apps = {editor};
    fakes.workspace->setIconName(kEditor, "editor-icon");
    auto iconsOf = [&] {
        const auto group = service().currentGroups().value(0);
        QStringList icons{fakes.workspace->nameOfIcon(group.appIcon)};
        for (const auto& item : group.items)
            icons << fakes.workspace->nameOfIcon(item.icon);
        return icons;
    };
    EXPECT_EQ(iconsOf(), (QStringList{"running-editor", "type:txt", "type:public.data"}));
    // That listing queued the loading; the next one finds the icons.
    ASSERT_TRUE(waitUntil([&] { return service().iconCache().count() == 3; }));
    EXPECT_EQ(iconsOf(), (QStringList{"editor-icon", "file:" + a, "file:" + plain}));

    // Opening a document has its icon loaded afresh, the others' kept.
    service().waitForBackgroundWork();
    service().recordOpened(url(a));
    service().waitForBackgroundWork();
    EXPECT_TRUE(service().iconCache().contains(plain));
    // No cached icon and no running application: the generic application icon.
    service().iconCache().removeAllObjects();
    fakes.running->apps.clear();
    EXPECT_EQ(iconsOf().first(), QString());
}

TEST_F(RecentDocumentsTest, ListingNeverWaitsForTheDisk) {
    FakeWorkspace& workspace = *fakes.workspace;
    service().savePersistedRecords(records("p", 1, 5));
    // The worker is stuck on its first call: lists are still built, with type icons.
    workspace.held = true;
    const auto release = qScopeGuard([&] { workspace.held = false; });
    for (int round = 0; round < 3; ++round) {
        const auto groups = service().currentGroups();
        ASSERT_EQ(names().size(), 5);
        EXPECT_EQ(workspace.nameOfIcon(groups[0].items[0].icon), "type:txt");
    }
    EXPECT_EQ(service().iconCache().count(), 0);
    workspace.held = false;
    service().waitForBackgroundWork();
    EXPECT_EQ(service().iconCache().count(), 6); // the documents' and the editor's
    EXPECT_EQ(workspace.diskCallsOnMain.load(), 0);
}

TEST_F(RecentDocumentsTest, TheApplicationsPathIsStoredWhenKnown) {
    const QString a = file("a.txt"), key = RecentDocumentsService::storageKey.key();
    const QDateTime at = QDateTime(QDate(2001, 1, 2), QTime(0, 0, 1, 500), Qt::UTC);
    service().savePersistedRecords({record(a, at)});
    const QJsonObject first =
        QJsonDocument::fromJson(fakes.defaults->dataForKey(key)).array()[0].toObject();
    EXPECT_EQ(first["appPath"].toString(), kEditor);
    EXPECT_DOUBLE_EQ(first["lastOpenedAt"].toDouble(), 86401.5);
    EXPECT_EQ(service().loadPersistedRecords(), QList{record(a, at)});
    // A null "appPath" reads as absent, one of another type makes the list unreadable.
    QJsonObject app = first;
    for (const QJsonValue& value : {QJsonValue(QJsonValue::Null), QJsonValue(3)}) {
        app.insert("appPath", value);
        fakes.defaults->setObject(key, QJsonDocument(QJsonArray{app}).toJson());
        const auto records = service().loadPersistedRecords();
        EXPECT_EQ(records.size(), value.isNull() ? 1 : 0);
        EXPECT_TRUE(records.isEmpty() || !records[0].appPath);
    }
}

TEST_F(RecentDocumentsTest, GoingAwayWithWorkQueuedIsSafe) {
    fakes.workspace->slowCallMs = 50;
    const auto persisted = records("p", 0, 39);
    index().documents = {{persisted[0].path, now}, {persisted[1].path, now}};
    service().prefetchIcons(persisted, *fakes.workspace);
    service().refresh();
    drainEvents();
    QElapsedTimer quitting;
    quitting.start();
    documents.reset(); // waits for the call in progress, not the forty queued (two seconds)
    EXPECT_LT(quitting.elapsed(), 1000);
    drainEvents(); // nothing left to run, or to crash
}

} // namespace
