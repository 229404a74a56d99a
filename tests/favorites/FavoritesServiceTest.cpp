#include "favorites/FavoritesService.h"
#include "common/Dates.h"
#include "platform/linux/LinuxBookmarkService.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
using Category = FavoritesCategory;

class Favorites : public ::testing::Test {
protected:
    // A fresh process over the same stored defaults: every store loads anew.
    void restart(std::shared_ptr<BookmarkService> bookmarks = nullptr) {
        services.reset();
        Platform platform = fakes.platform();
        platform.fileSystem = std::make_shared<LinuxFileSystem>();
        platform.bookmarks = bookmarks ? bookmarks : linuxBookmarks;
        services = std::make_unique<Services>(platform);
    }
    FavoritesService& store(Category category = Category::documents) {
        if (!services)
            restart();
        return favoritesStore(*services, category);
    }
    QString file(const QString& name) { return tree.add(name); }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    QByteArray blob(const QString& path, bool scoped = true) {
        const auto made = linuxBookmarks->createBookmark(url(path), scoped);
        EXPECT_TRUE(made) << path.toStdString();
        return made.value_or(QByteArray());
    }
    static QByteArray fakeBlob(const QString& path) {
        return FakeBookmarkService::blobFor(url(path), true);
    }
    void storeBookmarks(const QList<QByteArray>& blobs, Category c = Category::documents) {
        QVariantList list;
        for (const auto& b : blobs)
            list << b;
        defaults->setObject(rawValue(c), list);
    }
    void storeTimes(const QVariantList& times, Category c = Category::documents) {
        defaults->setObject(rawValue(c) + QStringLiteral("AddedAt"), times);
    }
    QVariantList stored(const QString& key) const {
        return defaults->objectForKey(key).value_or(QVariant()).toList();
    }
    QVariantList storedBookmarks(Category c = Category::documents) const {
        return stored(rawValue(c));
    }
    QList<double> storedTimes(Category c = Category::documents) const {
        QList<double> times;
        for (const QVariant& v : stored(rawValue(c) + QStringLiteral("AddedAt")))
            times << v.toDouble();
        return times;
    }
    static QStringList names(const FavoritesService& s) {
        QStringList out;
        for (const auto& item : s.favorites())
            out << item.displayName;
        return out;
    }
    // Where a stored reference of this machine points, without asking the file system.
    static QString pathIn(const QVariant& blob) {
        const auto record = LinuxBookmarkService::decodeRecord(blob.toByteArray());
        return record ? record->path : QString();
    }

    TempTree tree;
    const QString root = tree.root();
    FakePlatform fakes;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<LinuxBookmarkService> linuxBookmarks = std::make_shared<LinuxBookmarkService>();
    std::shared_ptr<FakeBookmarkService> fakeBookmarks = fakes.bookmarks;
    std::unique_ptr<Services> services;
};
} // namespace

// Earlier releases and other tools read these keys and shapes.
TEST_F(Favorites, StoredListsHaveTheirKeysAndShapes) {
    EXPECT_TRUE(store().favorites().isEmpty());
    EXPECT_EQ(defaults->allKeys(), QStringList{"PeloraFavoriteBookmarksAddedAt"});
    EXPECT_EQ(defaults->objectForKey("PeloraFavoriteBookmarksAddedAt"), QVariant(QVariantList()));

    store(Category::documents).add(url(file("d.txt")));
    store(Category::folders).add(url(tree.add("f/")));
    store(Category::applications).add(url(tree.add("x.desktop", "[Desktop Entry]\n")));
    QStringList keys = defaults->allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"PeloraFavoriteApps", "PeloraFavoriteAppsAddedAt",
                                 "PeloraFavoriteBookmarks", "PeloraFavoriteBookmarksAddedAt",
                                 "PeloraFavoriteFolders", "PeloraFavoriteFoldersAddedAt"}));
    const double now = secondsSince1970(QDateTime::currentDateTimeUtc());
    for (Category c : allFavoritesCategories) {
        SCOPED_TRACE(qPrintable(rawValue(c)));
        ASSERT_EQ(storedBookmarks(c).size(), 1);
        ASSERT_EQ(storedTimes(c).size(), 1);
        EXPECT_EQ(storedBookmarks(c)[0].metaType().id(), QMetaType::QByteArray);
        EXPECT_EQ(stored(rawValue(c) + "AddedAt")[0].metaType().id(), QMetaType::Double);
        EXPECT_NEAR(storedTimes(c)[0], now, 60);
    }
}

TEST_F(Favorites, TheSameFileAddedDirectlyOrThroughLinksIsOneFavoriteOfTheRealFile) {
    const QString real = file("real/report.txt");
    tree.add("report-link -> real/report.txt");
    tree.add("alias-dir -> real");
    auto& documents = store();
    for (const QString& path : {root + "/report-link", real, root + "/alias-dir/./report.txt"})
        documents.add(url(path));
    documents.add(url(root + "/missing.txt")); // cannot be referenced: nothing added
    ASSERT_EQ(documents.favorites().size(), 1);
    EXPECT_EQ(documents.favorites()[0].url, url(real));
    EXPECT_EQ(documents.favorites()[0].displayName, QStringLiteral("report.txt"));
    EXPECT_EQ(fakes.workspace->nameOfIcon(documents.favorites()[0].icon), "file:" + real);
    ASSERT_EQ(storedBookmarks().size(), 1);
    EXPECT_EQ(pathIn(storedBookmarks()[0]), real);
    EXPECT_EQ(storedTimes().size(), 1);
}

TEST_F(Favorites, AMissingTimeListIsFilledFromTheFilesDatesAndWrittenBack) {
    const QString first = file("first.txt"), gone = file("gone.txt"), third = file("third.txt");
    // Modification dates unlike the creation dates, to tell which one is used.
    const QDateTime modified[] = {QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC),
                                  QDateTime(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC)};
    for (int i = 0; i < 2; ++i) {
        QFile f(i ? third : first);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(modified[i], QFileDevice::FileModificationTime));
    }
    storeBookmarks({blob(first), blob(gone), blob(third)});
    ASSERT_TRUE(QFile::remove(gone));
    auto dateOf = [&](const QString& path, int i) {
        const QDateTime born = QFileInfo(path).birthTime();
        return secondsSince1970(born.isValid() ? born : modified[i]);
    };

    auto& documents = store();
    ASSERT_EQ(storedTimes().size(), 3);
    EXPECT_NEAR(storedTimes()[0], dateOf(first, 0), 0.002);
    EXPECT_EQ(storedTimes()[1], 1.0); // unresolvable: its index, in seconds since 1970
    EXPECT_NEAR(storedTimes()[2], dateOf(third, 1), 0.002);
    EXPECT_EQ(documents.favorites().size(), 2);
    EXPECT_EQ(storedBookmarks().size(), 3) << "the unresolvable entry stays stored";

    // Resolving to where nothing is, or not resolving: fallback times, nothing shown.
    defaults->removeObject(rawValue(Category::documents) + "AddedAt");
    fakeBookmarks->broken.insert(url(root + "/b"));
    fakeBookmarks->movedTo.insert(url(root + "/a"), url(root + "/nothing"));
    storeBookmarks({fakeBlob(root + "/a"), fakeBlob(root + "/b")});
    restart(fakeBookmarks);
    EXPECT_TRUE(store().favorites().isEmpty());
    EXPECT_EQ(storedTimes(), (QList<double>{1'000'000.0, 1.0}));
}

TEST_F(Favorites, NewestFirstWithTheTimeListCutAndEqualTimesInTheStoredOrder) {
    const QString a = file("a"), b = file("b"), c = file("c"), d = file("d");
    storeBookmarks({blob(a), blob(b), blob(c), blob(d)});
    // Stored numbers may be whole; a NaN must not upset the sort.
    storeTimes({100.0, qint64(200), 100.0, std::nan(""), 5.0, 6.0, 7.0});
    EXPECT_EQ(names(store()), (QStringList{"b", "a", "c", "d"}));
    EXPECT_EQ(store().favorites()[0].addedAt, dateFromSecondsSince1970(200));
    ASSERT_EQ(storedTimes().size(), 4);
    EXPECT_EQ(stored("PeloraFavoriteBookmarksAddedAt")[1], QVariant(200.0));

    // Many at one time: an unstable sort keeps the order of a handful only.
    QList<QByteArray> blobs;
    QStringList expected;
    QVariantList sameTimes;
    for (int i = 47; i >= 0; --i) { // not the order of their names
        expected << QStringLiteral("same-%1").arg(i, 2, 10, QLatin1Char('0'));
        blobs << blob(file(expected.last()));
        sameTimes << 3.0;
    }
    storeBookmarks(blobs);
    storeTimes(sameTimes);
    restart();
    EXPECT_EQ(names(store()), expected);
}

TEST_F(Favorites, AnUnreadableListIsKeptAsideBeforeAFreshOneIsWrittenOverIt) {
    const QString a = file("a"), b = file("b");
    const QVariantList mixed{blob(a), QStringLiteral("not data"), blob(b)};
    defaults->setObject(rawValue(Category::documents), mixed);
    storeTimes({1.0, std::nan(""), 3.0});
    const QString aside = QStringLiteral("PeloraFavoriteBookmarksUnreadable");

    // Loading cuts the time list to the empty bookmark list: the times go aside with it.
    EXPECT_TRUE(store().favorites().isEmpty());
    EXPECT_TRUE(storedTimes().isEmpty());
    EXPECT_EQ(stored("PeloraFavoriteBookmarksAddedAtUnreadable").size(), 3);
    restart();
    store();
    QStringList expectedKeys = defaults->allKeys() << aside;

    // Adding writes a fresh list; the old one is kept once, however often it is loaded.
    store().add(url(file("c")));
    EXPECT_EQ(names(store()), QStringList{"c"});
    EXPECT_EQ(defaults->objectForKey(aside), QVariant(mixed));
    EXPECT_EQ(storedTimes().size(), 1);
    QStringList keys = defaults->allKeys();
    keys.sort();
    expectedKeys.sort();
    EXPECT_EQ(keys, expectedKeys);
    store().add(url(b));
    EXPECT_EQ(defaults->allKeys().size(), expectedKeys.size()) << "a readable list is written over";

    // Another unreadable value gets a key of its own.
    defaults->setObject(rawValue(Category::documents), QStringLiteral("PLBK"));
    restart();
    store().add(url(a));
    EXPECT_EQ(defaults->objectForKey(aside), QVariant(mixed));
    EXPECT_EQ(defaults->objectForKey(aside + u'2'), QVariant(QStringLiteral("PLBK")));
    EXPECT_EQ(names(store()), QStringList{"a"});

    // A time list with a stray element is kept before the load writes the rebuilt one.
    storeBookmarks({blob(tree.add("x/"))}, Category::folders);
    storeTimes({QVariant(true)}, Category::folders);
    EXPECT_EQ(store(Category::folders).favorites().size(), 1);
    EXPECT_EQ(defaults->objectForKey("PeloraFavoriteFoldersAddedAtUnreadable"),
              QVariant(QVariantList{QVariant(true)}));
    EXPECT_GT(storedTimes(Category::folders).value(0), 1'000'000'000.0) << "from the file";

    // Removing from an unreadable list writes nothing, so nothing needs keeping.
    defaults->setObject(rawValue(Category::applications), QVariantList{qint64(7)});
    store(Category::applications).remove(FavoriteItem{url(a), {}, {}, {}});
    EXPECT_FALSE(defaults->contains("PeloraFavoriteAppsUnreadable"));
    EXPECT_EQ(storedBookmarks(Category::applications), QVariantList{qint64(7)});
}

TEST_F(Favorites, RemovingTakesTheFirstMatchingEntryOrOnlyHidesAnUnmatchedOne) {
    const QString a = file("a"), b = file("b"), c = file("c");
    tree.add("a-link -> a");
    storeBookmarks({blob(a), blob(b), blob(a)});
    storeTimes({1.0, 2.0, 3.0});
    ASSERT_EQ(store().favorites().size(), 3);
    // Named through a link, it matches the stored entry of its target; only the first.
    store().remove(FavoriteItem{url(root + "/a-link"), {}, {}, {}});
    EXPECT_EQ(names(store()), (QStringList{"a", "b"}));
    EXPECT_EQ(storedTimes(), (QList<double>{2.0, 3.0}));
    EXPECT_EQ(pathIn(storedBookmarks().value(0)), b);

    // References that stop resolving, or now resolve elsewhere, match nothing stored.
    storeBookmarks({fakeBlob(a), fakeBlob(b)});
    storeTimes({1.0, 2.0});
    restart(fakeBookmarks);
    auto& faked = store();
    ASSERT_EQ(names(faked), (QStringList{"b", "a"}));
    fakeBookmarks->broken.insert(url(a));
    fakeBookmarks->movedTo.insert(url(b), url(c));
    faked.remove(faked.favorites()[1]);
    faked.remove(faked.favorites()[0]);
    EXPECT_TRUE(faked.favorites().isEmpty());
    EXPECT_EQ(storedBookmarks(), (QVariantList{fakeBlob(a), fakeBlob(b)}));
    EXPECT_EQ(storedTimes(), (QList<double>{1.0, 2.0}));
    // The next load shows what they resolve to by then.
    fakeBookmarks->broken.clear();
    restart(fakeBookmarks);
    EXPECT_EQ(names(store()), (QStringList{"c", "a"}));
}

TEST_F(Favorites, LoadingRewritesOnlyReferencesThroughALinkOrToAMovedFile) {
    const QString real = file("real/f.txt");
    tree.add("via -> real");
    const QByteArray direct = blob(real), plain = blob(real, false);
    storeBookmarks({direct, blob(root + "/via/f.txt"), plain});
    storeTimes({1.0, 2.0, 3.0});
    ASSERT_EQ(store().favorites().size(), 3);
    const QVariantList after = storedBookmarks();
    EXPECT_EQ(after.value(0).toByteArray(), direct);
    EXPECT_EQ(pathIn(after.value(1)), real);
    EXPECT_TRUE(LinuxBookmarkService::decodeRecord(after.value(1).toByteArray())->scoped);
    EXPECT_EQ(after.value(2).toByteArray(), plain);
    EXPECT_EQ(linuxBookmarks->accessCount(url(real)), 0) << "access let go after the rewrite";

    // Renamed: shown at its new place, its reference rewritten.
    const QString renamed = root + "/real/f (final).txt";
    ASSERT_TRUE(QFile::rename(real, renamed));
    restart();
    EXPECT_EQ(store().favorites().value(0).url, url(renamed));
    EXPECT_EQ(pathIn(storedBookmarks().value(0)), renamed);
}

TEST_F(Favorites, ARewriteHoldsAccessInNestedOrderAndAFailedOneKeepsTheOldReference) {
    const QString real = file("real/f.txt");
    const QUrl link = url(root + "/via/f.txt");
    tree.add("via -> real");
    storeBookmarks({FakeBookmarkService::blobFor(link, true)}, Category::folders);
    restart(fakeBookmarks);
    store(Category::folders);
    EXPECT_EQ(fakeBookmarks->starts, (QList<QUrl>{link, url(real)}));
    EXPECT_EQ(fakeBookmarks->stops, (QList<QUrl>{url(real), link}));
    EXPECT_EQ(storedBookmarks(Category::folders).value(0), QVariant(fakeBlob(real)));

    fakeBookmarks->stops.clear();
    fakeBookmarks->startSucceeds = false;
    fakeBookmarks->scopedUncreatable.insert(url(real));
    storeBookmarks({FakeBookmarkService::blobFor(link, true)}, Category::folders);
    restart(fakeBookmarks);
    store(Category::folders);
    EXPECT_TRUE(fakeBookmarks->stops.isEmpty()) << "stopped only where started";
    EXPECT_EQ(storedBookmarks(Category::folders).value(0),
              QVariant(FakeBookmarkService::blobFor(link, true)));
}

TEST_F(Favorites, AddFallsBackToAPlainReferenceAndGivesUpSilently) {
    restart(fakeBookmarks);
    const QString a = file("a"), b = file("b");
    fakeBookmarks->scopedUncreatable.insert(url(a));
    fakeBookmarks->uncreatable.insert(url(b));
    store().add(url(a));
    store().add(url(b));
    EXPECT_EQ(names(store()), QStringList{"a"});
    EXPECT_EQ(storedBookmarks(), QVariantList{FakeBookmarkService::blobFor(url(a), false)});
    EXPECT_EQ(storedTimes().size(), 1);
}

TEST_F(Favorites, ApplicationNamesLoseTheirAppSuffixInTheApplicationsStoreOnly) {
    const QString foo = tree.add("Foo.APP/");
    auto& apps = store(Category::applications);
    apps.add(url(foo));
    apps.add(url(tree.add("bar.app.d/")));
    apps.add(url(tree.add("org.example.Viewer.desktop",
                          "[Desktop Entry]\nType=Application\nName=Viewer.app\nExec=true\n")));
    QStringList appNames = names(apps);
    appNames.sort();
    EXPECT_EQ(appNames, (QStringList{"Foo", "Viewer", "bar.app.d"}));
    store(Category::folders).add(url(foo));
    EXPECT_EQ(names(store(Category::folders)), QStringList{"Foo.APP"});
}

TEST(FavoritesCategory, RawValuesAndClassification) {
    for (Category c : allFavoritesCategories)
        EXPECT_EQ(favoritesCategoryFromRawValue(rawValue(c)), c);
    EXPECT_FALSE(favoritesCategoryFromRawValue("peloraFavoriteApps"));
    EXPECT_FALSE(favoritesCategoryFromRawValue(QString()));

    const TempTree tree{"Folder.d/", "Tool.App/"};
    const std::pair<QUrl, Category> cases[] = {
        {tree.url("Tool.App"), Category::applications},
        {tree.url("Tool.App/"), Category::applications},
        {tree.url("missing.app"), Category::applications},
        {tree.url("editor.DESKTOP"), Category::applications},
        {tree.url("Folder.d"), Category::folders},
        {tree.url("notes.txt"), Category::documents},
        {tree.url("missing-folder"), Category::documents},
        {QUrl("https://example.org/"), Category::documents},
    };
    for (const auto& [url, category] : cases)
        EXPECT_EQ(classifyFavoriteURL(url), category) << url.toString().toStdString();
}
