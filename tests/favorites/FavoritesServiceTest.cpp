#include "favorites/FavoritesService.h"
#include "common/Dates.h"
#include "platform/linux/LinuxBookmarkService.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <cmath>

namespace {
using Category = FavoritesCategory;

class Favorites : public ::testing::Test {
protected:
    // A fresh process over the same stored defaults: every store loads anew.
    Services& restart(std::shared_ptr<BookmarkService> bookmarks = nullptr) {
        services.reset();
        Platform platform = fakes.platform();
        platform.defaults = defaults;
        platform.fileSystem = std::make_shared<LinuxFileSystem>();
        platform.bookmarks = bookmarks ? bookmarks : linuxBookmarks;
        services = std::make_unique<Services>(platform);
        return *services;
    }
    FavoritesService& store(Category category) {
        if (!services)
            restart();
        return favoritesStore(*services, category);
    }
    QString makeFile(const QString& name, const QByteArray& content = "x") {
        return tree.add(name, content);
    }
    QString makeDir(const QString& name) { return tree.add(name + u'/'); }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    QByteArray linuxBlob(const QString& path, bool scoped = true) {
        const auto blob = linuxBookmarks->createBookmark(url(path), scoped);
        EXPECT_TRUE(blob) << path.toStdString();
        return blob.value_or(QByteArray());
    }
    void storeBookmarks(Category c, const QList<QByteArray>& blobs) {
        QVariantList list;
        for (const auto& b : blobs)
            list << b;
        defaults->setObject(rawValue(c), list);
    }
    void storeTimes(Category c, const QVariantList& times) {
        defaults->setObject(rawValue(c) + QStringLiteral("AddedAt"), times);
    }
    QVariantList stored(const QString& key) const {
        return defaults->objectForKey(key).value_or(QVariant()).toList();
    }
    QVariantList storedBookmarks(Category c) const { return stored(rawValue(c)); }
    QList<double> storedTimes(Category c) const {
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
    // Where a stored Linux reference points, without asking the file system.
    static QString pathInBlob(const QVariant& blob) {
        const auto record = LinuxBookmarkService::decodeRecord(blob.toByteArray());
        return record ? record->path : QString();
    }

    TempTree tree;
    const QString root = tree.root();
    FakePlatform fakes;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<LinuxBookmarkService> linuxBookmarks = std::make_shared<LinuxBookmarkService>();
    std::shared_ptr<FakeBookmarkService> fakeBookmarks = fakes.bookmarks;
    std::shared_ptr<FakeWorkspace> workspace = fakes.workspace;
    std::unique_ptr<Services> services;
};
} // namespace

TEST_F(Favorites, AFreshInstallationHasNoneAndWritesAnEmptyTimeList) {
    auto& documents = store(Category::documents);
    EXPECT_TRUE(documents.favorites().isEmpty());
    EXPECT_EQ(defaults->allKeys(), QStringList{QStringLiteral("PeloraFavoriteBookmarksAddedAt")});
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("PeloraFavoriteBookmarksAddedAt")),
              QVariant(QVariantList()));
}

TEST_F(Favorites, TheSameFileAddedTwiceDirectlyOrThroughLinksIsOneFavorite) {
    const QString file = makeFile(QStringLiteral("real/report.txt"));
    tree.add(QStringLiteral("report-link -> real/report.txt"));
    tree.add(QStringLiteral("alias-dir -> real"));

    auto& documents = store(Category::documents);
    documents.add(url(root + QStringLiteral("/report-link")));
    documents.add(url(file));
    documents.add(url(root + QStringLiteral("/alias-dir/./report.txt")));
    ASSERT_EQ(documents.favorites().size(), 1);
    EXPECT_EQ(documents.favorites()[0].url, url(file));
    EXPECT_EQ(documents.favorites()[0].displayName, QStringLiteral("report.txt"));
    EXPECT_EQ(workspace->nameOfIcon(documents.favorites()[0].icon), QStringLiteral("file:") + file);
    // What is stored refers to the real file, not to the link that was dropped.
    ASSERT_EQ(storedBookmarks(Category::documents).size(), 1);
    EXPECT_EQ(pathInBlob(storedBookmarks(Category::documents)[0]), file);
    ASSERT_EQ(storedTimes(Category::documents).size(), 1);

    QThread::msleep(5);
    const QString other = makeFile(QStringLiteral("other.txt"));
    documents.add(url(other));
    EXPECT_EQ(names(documents),
              (QStringList{QStringLiteral("other.txt"), QStringLiteral("report.txt")}));
    // Nothing was added for a file that cannot be referenced.
    documents.add(url(root + QStringLiteral("/missing.txt")));
    EXPECT_EQ(storedBookmarks(Category::documents).size(), 2);
    EXPECT_EQ(storedTimes(Category::documents).size(), 2);
}

TEST_F(Favorites, AMissingTimeListIsFilledFromTheFilesDatesAndWrittenBack) {
    const QString first = makeFile(QStringLiteral("first.txt"));
    const QString gone = makeFile(QStringLiteral("gone.txt"));
    QThread::msleep(5);
    const QString third = makeFile(QStringLiteral("third.txt"));
    // Modification dates in the opposite order of creation, to tell which one is used.
    const QDateTime older(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime newer(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    {
        QFile f(first), t(third);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && t.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(newer, QFileDevice::FileModificationTime));
        ASSERT_TRUE(t.setFileTime(older, QFileDevice::FileModificationTime));
    }
    storeBookmarks(Category::documents, {linuxBlob(first), linuxBlob(gone), linuxBlob(third)});
    ASSERT_TRUE(QFile::remove(gone));

    auto& documents = store(Category::documents);
    const QList<double> times = storedTimes(Category::documents);
    ASSERT_EQ(times.size(), 3);
    EXPECT_EQ(times[1], 1.0); // unresolvable: its index, in seconds since 1970
    const QDateTime born = QFileInfo(first).birthTime();
    if (born.isValid()) {
        EXPECT_NEAR(times[0], secondsSince1970(born), 0.002);
        EXPECT_NEAR(times[2], secondsSince1970(QFileInfo(third).birthTime()), 0.002);
        EXPECT_EQ(names(documents),
                  (QStringList{QStringLiteral("third.txt"), QStringLiteral("first.txt")}));
    } else {
        EXPECT_EQ(times[0], secondsSince1970(newer));
        EXPECT_EQ(times[2], secondsSince1970(older));
        EXPECT_EQ(names(documents),
                  (QStringList{QStringLiteral("first.txt"), QStringLiteral("third.txt")}));
    }
    EXPECT_EQ(documents.favorites()[0].addedAt,
              dateFromSecondsSince1970(std::max(times[0], times[2])));
    // The unresolvable entry stays stored.
    EXPECT_EQ(storedBookmarks(Category::documents).size(), 3);

    // Resolving to where nothing is, or failing to resolve: fallback times, not shown.
    defaults = std::make_shared<InMemoryUserDefaults>();
    fakeBookmarks->broken.insert(url(root + QStringLiteral("/b")));
    fakeBookmarks->movedTo.insert(url(root + QStringLiteral("/a")),
                                  url(root + QStringLiteral("/nothing")));
    storeBookmarks(Category::documents,
                   {FakeBookmarkService::blobFor(url(root + QStringLiteral("/a")), true),
                    FakeBookmarkService::blobFor(url(root + QStringLiteral("/b")), true)});
    restart(fakeBookmarks);
    EXPECT_TRUE(store(Category::documents).favorites().isEmpty());
    EXPECT_EQ(storedTimes(Category::documents), (QList<double>{1'000'000.0, 1.0}));
}

TEST_F(Favorites, TheTimeListIsCutAndEqualTimesKeepTheStoredOrder) {
    const QString a = makeFile(QStringLiteral("a")), b = makeFile(QStringLiteral("b")),
                  c = makeFile(QStringLiteral("c")), d = makeFile(QStringLiteral("d"));
    storeBookmarks(Category::documents, {linuxBlob(a), linuxBlob(b), linuxBlob(c), linuxBlob(d)});
    // Stored numbers may be whole; a NaN must not upset the sort.
    storeTimes(Category::documents, {100.0, qint64(200), 100.0, std::nan(""), 5.0, 6.0, 7.0});
    auto& documents = store(Category::documents);
    EXPECT_EQ(names(documents), (QStringList{QStringLiteral("b"), QStringLiteral("a"),
                                             QStringLiteral("c"), QStringLiteral("d")}));
    const QVariantList times = stored(QStringLiteral("PeloraFavoriteBookmarksAddedAt"));
    ASSERT_EQ(times.size(), 4);
    EXPECT_EQ(times[1], QVariant(200.0));
    EXPECT_EQ(documents.favorites()[0].addedAt, dateFromSecondsSince1970(200));

    // Many entries with one time keep the stored order (an unstable sort would not, with
    // more than a handful).
    QList<QByteArray> blobs;
    QStringList stored;
    QVariantList sameTimes;
    for (int i = 0; i < 24; ++i) {
        stored << QStringLiteral("same-%1").arg(i, 2, 10, QLatin1Char('0'));
        blobs << linuxBlob(makeFile(stored.last()));
        sameTimes << 3.0;
    }
    std::reverse(stored.begin(), stored.end()); // not the order of their names
    std::reverse(blobs.begin(), blobs.end());
    storeBookmarks(Category::documents, blobs);
    storeTimes(Category::documents, sameTimes);
    restart();
    EXPECT_EQ(names(store(Category::documents)), stored);
}

TEST_F(Favorites, AnUnreadableListIsKeptAsideBeforeAFreshOneIsWrittenOverIt) {
    const QString a = makeFile(QStringLiteral("a")), b = makeFile(QStringLiteral("b"));
    const QVariantList mixed{linuxBlob(a), QStringLiteral("not data"), linuxBlob(b)};
    const QVariantList times{1.0, std::nan(""), 3.0};
    defaults->setObject(rawValue(Category::documents), mixed);
    storeTimes(Category::documents, times);
    const QString bookmarksAside = QStringLiteral("PeloraFavoriteBookmarksUnreadable");
    const QString timesAside = QStringLiteral("PeloraFavoriteBookmarksAddedAtUnreadable");

    // Loading cuts the time list to the empty bookmark list: the times go aside with it.
    EXPECT_TRUE(store(Category::documents).favorites().isEmpty());
    EXPECT_TRUE(storedTimes(Category::documents).isEmpty());
    EXPECT_EQ(stored(timesAside).size(), 3);
    restart();
    store(Category::documents);
    const auto keysAfterLoads = defaults->allKeys();

    // Adding writes a fresh list; the old one is kept, and both keep counting as they should.
    const QString c = makeFile(QStringLiteral("c"));
    store(Category::documents).add(url(c));
    EXPECT_EQ(names(store(Category::documents)), QStringList{QStringLiteral("c")});
    EXPECT_EQ(defaults->objectForKey(bookmarksAside), QVariant(mixed));
    EXPECT_EQ(storedBookmarks(Category::documents).size(), 1);
    EXPECT_EQ(storedTimes(Category::documents).size(), 1);
    QStringList expectedKeys = keysAfterLoads;
    expectedKeys << bookmarksAside;
    expectedKeys.sort();
    QStringList keys = defaults->allKeys();
    keys.sort();
    EXPECT_EQ(keys, expectedKeys) << "the same times were kept twice";

    // Readable lists are written over as before; another unreadable value gets its own key.
    restart();
    store(Category::documents).add(url(b));
    EXPECT_EQ(defaults->allKeys().size(), expectedKeys.size());
    defaults->setObject(rawValue(Category::documents), QStringLiteral("PLBK"));
    restart();
    store(Category::documents).add(url(a));
    EXPECT_EQ(defaults->objectForKey(bookmarksAside), QVariant(mixed));
    EXPECT_EQ(defaults->objectForKey(bookmarksAside + u'2'), QVariant(QStringLiteral("PLBK")));
    EXPECT_EQ(names(store(Category::documents)), QStringList{QStringLiteral("a")});

    // A time list with a stray element is kept before the load writes the rebuilt one.
    storeBookmarks(Category::folders, {linuxBlob(makeDir(QStringLiteral("x")))});
    storeTimes(Category::folders, {QVariant(true)});
    EXPECT_EQ(store(Category::folders).favorites().size(), 1);
    EXPECT_EQ(defaults->objectForKey(QStringLiteral("PeloraFavoriteFoldersAddedAtUnreadable")),
              QVariant(QVariantList{QVariant(true)}));
    ASSERT_EQ(storedTimes(Category::folders).size(), 1);
    EXPECT_GT(storedTimes(Category::folders)[0], 1'000'000'000.0) << "rebuilt from the file";

    // Removing from an unreadable list writes nothing, so nothing needs keeping.
    defaults->setObject(rawValue(Category::applications), QVariantList{qint64(7)});
    FavoriteItem item;
    item.url = url(a);
    store(Category::applications).remove(item);
    EXPECT_FALSE(defaults->contains(QStringLiteral("PeloraFavoriteAppsUnreadable")));
    EXPECT_EQ(defaults->objectForKey(rawValue(Category::applications)),
              QVariant(QVariantList{qint64(7)}));
}

TEST_F(Favorites, RemovingTakesOneStoredEntryOrOnlyHidesAnUnmatchedOne) {
    const QString a = makeFile(QStringLiteral("a")), b = makeFile(QStringLiteral("b"));
    tree.add(QStringLiteral("a-link -> a"));
    storeBookmarks(Category::documents, {linuxBlob(a), linuxBlob(b), linuxBlob(a)});
    storeTimes(Category::documents, {1.0, 2.0, 3.0});
    auto& documents = store(Category::documents);
    ASSERT_EQ(documents.favorites().size(), 3);

    // An item named through a link matches the stored entry of its target; only the first.
    FavoriteItem viaLink;
    viaLink.url = url(root + QStringLiteral("/a-link"));
    documents.remove(viaLink);
    EXPECT_EQ(names(documents), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(storedTimes(Category::documents), (QList<double>{2.0, 3.0}));
    ASSERT_EQ(storedBookmarks(Category::documents).size(), 2);
    EXPECT_EQ(pathInBlob(storedBookmarks(Category::documents)[0]), b);

    // References that stop resolving, or now resolve elsewhere, match nothing stored.
    restart(fakeBookmarks);
    const QString c = makeFile(QStringLiteral("c"));
    storeBookmarks(Category::documents, {FakeBookmarkService::blobFor(url(a), true),
                                         FakeBookmarkService::blobFor(url(b), true)});
    storeTimes(Category::documents, {1.0, 2.0});
    auto& faked = store(Category::documents);
    ASSERT_EQ(names(faked), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    const QVariantList before = storedBookmarks(Category::documents);
    fakeBookmarks->broken.insert(url(a));
    fakeBookmarks->movedTo.insert(url(b), url(c));
    faked.remove(faked.favorites()[1]);
    faked.remove(faked.favorites()[0]);
    EXPECT_TRUE(faked.favorites().isEmpty());
    EXPECT_EQ(storedBookmarks(Category::documents), before);
    EXPECT_EQ(storedTimes(Category::documents), (QList<double>{1.0, 2.0}));

    // The next load shows what the stored entries resolve to by then.
    fakeBookmarks->broken.clear();
    restart(fakeBookmarks);
    EXPECT_EQ(names(store(Category::documents)),
              (QStringList{QStringLiteral("c"), QStringLiteral("a")}));
}

TEST_F(Favorites, LoadRewritesOnlyReferencesThatGoThroughALink) {
    const QString file = makeFile(QStringLiteral("real/f.txt"));
    tree.add(QStringLiteral("via -> real"));
    const QByteArray direct = linuxBlob(file);
    const QByteArray throughLink = linuxBlob(root + QStringLiteral("/via/f.txt"));
    const QByteArray plain = linuxBlob(file, false); // resolves only without the scoped option
    storeBookmarks(Category::documents, {direct, throughLink, plain});
    storeTimes(Category::documents, {1.0, 2.0, 3.0});

    auto& documents = store(Category::documents);
    const QVariantList after = storedBookmarks(Category::documents);
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0].toByteArray(), direct);
    EXPECT_EQ(pathInBlob(after[1]), file);
    EXPECT_TRUE(LinuxBookmarkService::decodeRecord(after[1].toByteArray())->scoped);
    EXPECT_EQ(after[2].toByteArray(), plain);
    ASSERT_EQ(documents.favorites().size(), 3);
    for (const auto& item : documents.favorites())
        EXPECT_EQ(item.url, url(file));
    // Access was started around the rewrite and stopped again.
    EXPECT_EQ(linuxBookmarks->accessCount(url(file)), 0);

    // Access is stopped in reverse order, and only where it was started; a failed rewrite
    // keeps the old reference.
    const QUrl linkURL = url(root + QStringLiteral("/via/f.txt"));
    storeBookmarks(Category::folders, {FakeBookmarkService::blobFor(linkURL, true)});
    restart(fakeBookmarks);
    store(Category::folders);
    EXPECT_EQ(fakeBookmarks->starts, (QList<QUrl>{linkURL, url(file)}));
    EXPECT_EQ(fakeBookmarks->stops, (QList<QUrl>{url(file), linkURL}));
    ASSERT_EQ(fakeBookmarks->creations.size(), 1);
    EXPECT_TRUE(fakeBookmarks->creations[0].scoped);
    EXPECT_EQ(storedBookmarks(Category::folders)[0].toByteArray(),
              FakeBookmarkService::blobFor(url(file), true));

    fakeBookmarks->starts.clear();
    fakeBookmarks->stops.clear();
    fakeBookmarks->startSucceeds = false;
    fakeBookmarks->scopedUncreatable.insert(url(file));
    storeBookmarks(Category::folders, {FakeBookmarkService::blobFor(linkURL, true)});
    restart(fakeBookmarks);
    store(Category::folders);
    EXPECT_EQ(fakeBookmarks->starts.size(), 2);
    EXPECT_TRUE(fakeBookmarks->stops.isEmpty());
    EXPECT_EQ(storedBookmarks(Category::folders)[0].toByteArray(),
              FakeBookmarkService::blobFor(linkURL, true));
}

TEST_F(Favorites, ARenamedFavoriteShowsAtItsNewPlaceAndItsReferenceIsRewritten) {
    const QString before = makeFile(QStringLiteral("inbox/report.txt"));
    const QString after = root + QStringLiteral("/inbox/report (final).txt");
    store(Category::documents).add(url(before));
    ASSERT_TRUE(QFile::rename(before, after));

    restart();
    const auto& favorites = store(Category::documents).favorites();
    ASSERT_EQ(favorites.size(), 1);
    EXPECT_EQ(favorites[0].url, url(after));
    ASSERT_EQ(storedBookmarks(Category::documents).size(), 1);
    EXPECT_EQ(pathInBlob(storedBookmarks(Category::documents)[0]), after);
}

TEST_F(Favorites, AddFallsBackToAPlainReferenceAndGivesUpSilently) {
    restart(fakeBookmarks);
    const QString a = makeFile(QStringLiteral("a")), b = makeFile(QStringLiteral("b"));
    fakeBookmarks->scopedUncreatable.insert(url(a));
    fakeBookmarks->uncreatable.insert(url(b));
    auto& documents = store(Category::documents);
    documents.add(url(a));
    ASSERT_EQ(documents.favorites().size(), 1);
    EXPECT_EQ(storedBookmarks(Category::documents)[0].toByteArray(),
              FakeBookmarkService::blobFor(url(a), false));
    documents.add(url(b));
    EXPECT_EQ(documents.favorites().size(), 1);
    EXPECT_EQ(storedBookmarks(Category::documents).size(), 1);
    EXPECT_EQ(storedTimes(Category::documents).size(), 1);
}

TEST_F(Favorites, ApplicationNamesLoseTheirAppSuffixInTheApplicationsStoreOnly) {
    const QString foo = makeDir(QStringLiteral("Foo.APP"));
    const QString bar = makeDir(QStringLiteral("bar.app.d"));
    const QString entry =
        makeFile(QStringLiteral("org.example.Viewer.desktop"),
                 "[Desktop Entry]\nType=Application\nName=Viewer.app\nExec=true\n");
    auto& apps = store(Category::applications);
    apps.add(url(foo));
    apps.add(url(bar));
    apps.add(url(entry));
    QStringList appNames = names(apps);
    appNames.sort();
    EXPECT_EQ(appNames, (QStringList{QStringLiteral("Foo"), QStringLiteral("Viewer"),
                                     QStringLiteral("bar.app.d")}));
    auto& folders = store(Category::folders);
    folders.add(url(foo));
    EXPECT_EQ(names(folders), QStringList{QStringLiteral("Foo.APP")});
}

TEST_F(Favorites, StoredValuesHaveTheExactKeysAndShapes) {
    store(Category::documents).add(url(makeFile(QStringLiteral("d.txt"))));
    store(Category::folders).add(url(makeDir(QStringLiteral("f"))));
    store(Category::applications)
        .add(url(makeFile(QStringLiteral("x.desktop"), "[Desktop Entry]\n")));

    QStringList keys = defaults->allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("PeloraFavoriteApps"),
                                 QStringLiteral("PeloraFavoriteAppsAddedAt"),
                                 QStringLiteral("PeloraFavoriteBookmarks"),
                                 QStringLiteral("PeloraFavoriteBookmarksAddedAt"),
                                 QStringLiteral("PeloraFavoriteFolders"),
                                 QStringLiteral("PeloraFavoriteFoldersAddedAt")}));
    const double now = secondsSince1970(QDateTime::currentDateTimeUtc());
    for (Category c : allFavoritesCategories) {
        const auto bookmarks = defaults->objectForKey(rawValue(c));
        const auto times = defaults->objectForKey(rawValue(c) + QStringLiteral("AddedAt"));
        ASSERT_TRUE(bookmarks && times);
        ASSERT_EQ(bookmarks->metaType().id(), QMetaType::QVariantList);
        ASSERT_EQ(times->metaType().id(), QMetaType::QVariantList);
        ASSERT_EQ(bookmarks->toList().size(), 1);
        ASSERT_EQ(times->toList().size(), 1);
        EXPECT_EQ(bookmarks->toList()[0].metaType().id(), QMetaType::QByteArray);
        EXPECT_EQ(times->toList()[0].metaType().id(), QMetaType::Double);
        EXPECT_NEAR(times->toList()[0].toDouble(), now, 60);
    }
}

TEST(FavoritesCategory, RawValuesAndClassification) {
    for (Category c : allFavoritesCategories)
        EXPECT_EQ(favoritesCategoryFromRawValue(rawValue(c)), c);
    EXPECT_FALSE(favoritesCategoryFromRawValue(QStringLiteral("peloraFavoriteApps")));
    EXPECT_FALSE(favoritesCategoryFromRawValue(QString()));
    EXPECT_STREQ(displayNameKey(Category::folders), "strip.favoriteType.folder");
    for (Category c : allFavoritesCategories)
        EXPECT_NE(displayName(c), QString::fromLatin1(displayNameKey(c))) << "no text";

    const TempTree tree{"Folder.d/", "Tool.App/"};
    auto at = [&](const QString& name) {
        return tree.url(name);
    };
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("Tool.App"))), Category::applications);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("Tool.App/"))), Category::applications);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("missing.app"))), Category::applications);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("editor.DESKTOP"))), Category::applications);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("Folder.d"))), Category::folders);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("notes.txt"))), Category::documents);
    EXPECT_EQ(classifyFavoriteURL(at(QStringLiteral("missing-folder"))), Category::documents);
    EXPECT_EQ(classifyFavoriteURL(QUrl(QStringLiteral("https://example.org/"))),
              Category::documents);
}
