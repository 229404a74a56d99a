#include "HistoryTestSupport.h"

#include "history/RecentFoldersService.h"

// What the documents and the folders histories have in common, each seen through one face:
// items the user opened through the strip, stored, newest first, ten at most.
namespace {

struct Documents {
    using Service = RecentDocumentsService;
    static QList<RecentItemsResult>& found(FakeRecentItemsIndex& index) { return index.documents; }
    static QString make(TempTree& t, const QString& name) { return t.add(name + ".txt"); }
    // Anything that exists: the strip sends folders to the folders history.
    static QString otherKind(TempTree&) { return {}; }
    static PersistedRecentDocumentRecord record(const QString& path, const QDateTime& at) {
        return {path, QFileInfo(path).fileName(), "Other", {}, at};
    }
    static QStringList names(Service& s) { return displayNames(s); }
    static std::unique_ptr<Service> service(FakePlatform& f) {
        return std::make_unique<Service>(*f.defaults, *f.fileSystem, *f.recentItemsIndex,
                                         *f.running, *f.workspace);
    }
};

struct Folders {
    using Service = RecentFoldersService;
    static QList<RecentItemsResult>& found(FakeRecentItemsIndex& index) { return index.folders; }
    static QString make(TempTree& t, const QString& name) { return t.add(name + u'/'); }
    static QString otherKind(TempTree& t) { return t.add("a file.txt"); }
    static PersistedRecentFolderRecord record(const QString& path, const QDateTime& at) {
        return {path, QFileInfo(path).fileName(), at};
    }
    static QStringList names(Service& s) { return displayNames(s.currentFolders()); }
    static std::unique_ptr<Service> service(FakePlatform& f) {
        return std::make_unique<Service>(*f.defaults, *f.fileSystem, *f.recentItemsIndex,
                                         *f.workspace);
    }
};

template <class Kind> class RecentItemsTest : public HistoryTest {
protected:
    typename Kind::Service& service() { return *made; }
    LazyService<typename Kind::Service> made{[this] {
        return Kind::service(this->fakes);
    }};
    QString make(const QString& name) { return Kind::make(this->tree, name); }
    QStringList names() { return Kind::names(service()); }
    QString key() const { return Kind::Service::storageKey.key(); }
    void save(const QList<std::pair<QString, QDateTime>>& records) {
        QList<decltype(Kind::record({}, {}))> list;
        for (const auto& [path, at] : records)
            list << Kind::record(path, at);
        service().savePersistedRecords(list);
    }
    // The stored records of items that exist, paths and dates, in stored order.
    QList<std::pair<QString, QDateTime>> stored() {
        QList<std::pair<QString, QDateTime>> out;
        for (const auto& record : service().loadPersistedRecords())
            out.append({record.path, record.lastOpenedAt});
        return out;
    }
    qsizetype storedCount() {
        return QJsonDocument::fromJson(fakes.defaults->dataForKey(key())).array().size();
    }
    static QStringList fileNames(const QStringList& paths) {
        QStringList out;
        for (const QString& path : paths)
            out << QFileInfo(path).fileName();
        return out;
    }
};

using Kinds = ::testing::Types<Documents, Folders>;
TYPED_TEST_SUITE(RecentItemsTest, Kinds);

TYPED_TEST(RecentItemsTest, ListsTheTenNewestEqualDatesByNameIgnoringCase) {
    const QString beta = this->make("Beta"), alpha = this->make("alpha"), zoo = this->make("Zoo");
    const QDateTime t = this->hoursAgo(2);
    this->save({{beta, t}, {alpha, t}, {zoo, this->hoursAgo(1)}});
    EXPECT_EQ(this->names(), this->fileNames({zoo, alpha, beta}));

    // Twelve, stored oldest first: the ten newest.
    QList<std::pair<QString, QDateTime>> twelve;
    QStringList newest;
    for (int i = 12; i >= 1; --i) {
        twelve.append({this->make(QStringLiteral("n%1").arg(i)), this->hoursAgo(i)});
        newest.prepend(twelve.last().first);
    }
    this->save(twelve);
    EXPECT_EQ(this->names(), this->fileNames(newest.mid(0, 10)));
    // One that went leaves its place to the next.
    QFileInfo(newest[0]).isDir() ? QDir(newest[0]).removeRecursively() : QFile::remove(newest[0]);
    EXPECT_EQ(this->names(), this->fileNames(newest.mid(1, 10)));
}

TYPED_TEST(RecentItemsTest, TheIndexFillsUpAfterThePersistedItemsEachOnce) {
    QList<std::pair<QString, QDateTime>> persisted;
    QStringList expected;
    for (int i = 1; i <= 9; ++i)
        expected << persisted
                        .emplace_back(this->make(QStringLiteral("p%1").arg(i)), this->hoursAgo(i))
                        .first;
    std::swap(persisted[0], persisted[5]); // stored order is not list order
    this->save(persisted);
    // The index's newest result is a persisted item spelled another way: listed once.
    auto& found = TypeParam::found(*this->fakes.recentItemsIndex);
    found << RecentItemsResult{this->tree.root() + "/./" + QFileInfo(expected[2]).fileName(),
                               this->now};
    for (int i = 1; i <= 19; ++i)
        found << RecentItemsResult{this->make(QStringLiteral("s%1").arg(i)), this->hoursAgo(i)};
    // Until the first gathering ends there are only the persisted ones.
    this->service().refresh();
    EXPECT_EQ(this->names(), this->fileNames(expected));
    ASSERT_TRUE(waitUntil([&] { return this->names().size() == 10; }));
    EXPECT_EQ(this->names(), this->fileNames(expected << found[1].path));
}

TYPED_TEST(RecentItemsTest, OpeningAgainOrThroughALinkOrAliasKeepsOneRecordNowDated) {
    const QString target = this->make("Work/target"), other = this->make("other");
    const QString link =
        this->tree.add("link -> " + QDir(this->tree.root()).relativeFilePath(target));
    const QString alias = this->file("alias");
    this->fakes.fileSystem->aliases.insert(alias, target);
    this->service().recordOpened(this->url(target));
    this->service().recordOpened(this->url(other));
    for (const QString& again : {target, link, alias}) {
        SCOPED_TRACE(again.toStdString());
        const QDateTime before = this->stored().constFirst().second;
        this->clockMovesOn();
        this->service().recordOpened(this->url(again));
        const auto records = this->stored();
        ASSERT_EQ(records.size(), 2);
        EXPECT_EQ(records[1].first, target);
        EXPECT_GT(records[1].second, before);
        this->service().recordOpened(this->url(other));
    }
    EXPECT_EQ(this->names().last(), QFileInfo(target).fileName());
    // Nothing is recorded for the other kind, what does not exist, or what is not a file.
    this->service().recordOpened(this->url(TypeParam::otherKind(this->tree)));
    this->service().recordOpened(this->url(this->tree.path("missing")));
    this->service().recordOpened(QUrl("https://example.org/a.txt"));
    EXPECT_EQ(this->storedCount(), 2);
    // One that went is hidden, and dropped from storage at the next recording.
    QFileInfo(other).isDir() ? QDir(other).removeRecursively() : QFile::remove(other);
    EXPECT_EQ(this->names(), QStringList{QFileInfo(target).fileName()});
    EXPECT_EQ(this->storedCount(), 2);
    this->service().recordOpened(this->url(target));
    EXPECT_EQ(this->storedCount(), 1);
}

TYPED_TEST(RecentItemsTest, DamagedStoredDataReadsAsEmptyIsLeftAloneAndReplaced) {
    const QString a = this->make("a");
    this->service().recordOpened(this->url(a));
    const QJsonObject good = QJsonDocument::fromJson(this->fakes.defaults->dataForKey(this->key()))
                                 .array()[0]
                                 .toObject();
    auto with = [&](const char* field, const QJsonValue& value) {
        QJsonObject o = good;
        o.insert(QString::fromLatin1(field), value); // undefined removes it
        return QVariant(QJsonDocument(QJsonArray{good, o}).toJson());
    };
    // A number too large for a date.
    QByteArray huge = with("lastOpenedAt", "@").toByteArray();
    huge.replace("\"@\"", "1e999");
    const QVariant damaged[] = {with("displayName", QJsonValue::Undefined),
                                with("path", QJsonValue::Null),
                                with("lastOpenedAt", QJsonValue::Null),
                                with("lastOpenedAt", "2024-01-01"),
                                with("displayName", 5),
                                QJsonDocument(QJsonArray{good, 5}).toJson(),
                                QJsonDocument(good).toJson(),
                                huge,
                                QByteArray("[{\"path\":"),
                                QByteArray("\xff\xfe"),
                                "text"};
    for (const QVariant& data : damaged) {
        SCOPED_TRACE(data.toString().toStdString());
        this->fakes.defaults->setObject(this->key(), data);
        EXPECT_TRUE(this->names().isEmpty());
        EXPECT_TRUE(this->service().loadPersistedRecords().isEmpty());
        EXPECT_EQ(*this->fakes.defaults->objectForKey(this->key()), data);
    }
    const QString b = this->make("b");
    this->service().recordOpened(this->url(b));
    ASSERT_EQ(this->stored().size(), 1);
    EXPECT_EQ(this->stored()[0].first, b);
}

// Folders only: the index's folders, hidden ones included, from the whole past.
using RecentFoldersTest = RecentItemsTest<Folders>;

TEST_F(RecentFoldersTest, GatheringKeepsExistingFoldersOfTheFirstTwentyResults) {
    FakeRecentItemsIndex& index = *fakes.recentItemsIndex;
    index.folders = {{file("a file.txt"), now},
                     {tree.path("gone"), now},
                     {QString(), now},
                     {folder(".hidden"), QDateTime()}};
    for (int i = 0; i < 25; ++i)
        index.folders << RecentItemsResult{folder(QStringLiteral("d%1").arg(i)), hoursAgo(i)};
    service().refresh();
    ASSERT_TRUE(waitUntil([&] { return !service().isGathering(); }));
    const auto& found = service().systemRecentFolders();
    ASSERT_EQ(found.size(), 17);
    EXPECT_EQ(found[0].displayName, ".hidden");
    EXPECT_EQ(found[16].displayName, "d15");
    EXPECT_EQ(index.predicates.last().usedSince, QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(names().size(), 10);
    EXPECT_EQ(service().currentFolders()[0].url, url(tree.path(".hidden")));
    EXPECT_EQ(fakes.workspace->nameOfIcon(found[0].icon), "file:" + tree.path(".hidden"));
}

} // namespace
