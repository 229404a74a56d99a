#include "favorites/FavoritesService.h"
#include "common/Dates.h"
#include "platform/linux/files/LinuxBookmarkService.h"
#include "platform/linux/files/LinuxFileSystem.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QSemaphore>
#include <cmath>

namespace {
using Category = FavoritesCategory;
const Category documents = Category::documents, folders = Category::folders,
               apps = Category::applications;

class FavoritesServiceTest : public ::testing::Test {
protected:
    // A fresh process over the same defaults, with this machine's file references or fakes.
    void restart(std::shared_ptr<BookmarkService> references = {}) {
        stores.reset();
        services.reset();
        Platform platform = fakes.platform();
        platform.fileSystem = std::make_shared<LinuxFileSystem>();
        platform.bookmarks = references ? references : realRefs;
        services = std::make_unique<Services>(platform);
        stores = std::make_unique<FavoriteStores>(services->defaults(), services->fileSystem(),
                                                  services->bookmarks(), services->workspace());
    }
    // The store once its checks have ended.
    FavoritesService& store(Category c = documents) {
        if (!services)
            restart();
        EXPECT_TRUE(waitUntil([&] { return !stores->store(c).isChecking(); }));
        return stores->store(c);
    }
    QStringList names(Category c = documents, bool checked = true) {
        QStringList out;
        for (const auto& item : (checked ? store(c) : stores->store(c)).favorites())
            out << item.displayName;
        return out;
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }
    QVariantList refs(const QStringList& paths, bool scoped = true) {
        QVariantList out;
        for (const QString& path : paths)
            out << realRefs->createBookmark(url(path), scoped).value_or("unmade");
        return out;
    }
    // The category's stored list, or its time list ("AddedAt") and the like.
    void put(const QVariant& value, const char* suffix = "", Category c = documents) {
        fakes.defaults->setObject(rawValue(c) + suffix, value);
    }
    QVariantList get(const char* suffix = "", Category c = documents) const {
        return fakes.defaults->objectForKey(rawValue(c) + suffix).value_or(QVariant()).toList();
    }
    // What a stored reference of this machine holds, without asking the file system.
    static BookmarkRecord record(const QVariant& ref) {
        return LinuxBookmarkService::decodeRecord(ref.toByteArray()).value_or(BookmarkRecord());
    }

    TempTree tree;
    FakePlatform fakes;
    std::shared_ptr<LinuxBookmarkService> realRefs = std::make_shared<LinuxBookmarkService>();
    std::unique_ptr<Services> services;
    std::unique_ptr<FavoriteStores> stores;
};
} // namespace

TEST_F(FavoritesServiceTest, TheSameFileAddedDirectlyOrThroughLinksIsOneFavoriteOfTheRealFile) {
    const QString real = tree.add("real/report.txt");
    tree.add("report-link -> real/report.txt");
    tree.add("alias-dir -> real");
    for (const QString& path : {tree.path("report-link"), real, tree.path("alias-dir/./report.txt"),
                                tree.path("missing.txt")})
        store().add(url(path));
    EXPECT_EQ(names(), QStringList{"report.txt"});
    EXPECT_EQ(store().favorites().value(0).url, url(real));
    EXPECT_EQ(fakes.workspace->nameOfIcon(store().favorites().value(0).icon), "file:" + real);
    ASSERT_EQ(get().size(), 1);
    EXPECT_EQ(record(get()[0]).path, real);
    EXPECT_EQ(get("AddedAt").size(), 1);
}

TEST_F(FavoritesServiceTest, AFavoriteWhoseFileIsDeletedLeavesTheListOnceItsFolderChanges) {
    const QString kept = tree.add("Letters/kept.txt"), gone = tree.add("Letters/gone.txt");
    const QString folder = tree.add("Old/");
    store().add(url(kept));
    store().add(url(gone));
    store(folders).add(url(folder));
    QFile::remove(gone);
    QDir(folder).removeRecursively();
    EXPECT_TRUE(waitUntil([&] { return names() == QStringList{"kept.txt"}; }));
    EXPECT_TRUE(waitUntil([&] { return names(folders).isEmpty(); }));
    EXPECT_EQ(get().size(), 2); // still stored, should the file come back
}

TEST_F(FavoritesServiceTest, AMissingTimeListIsFilledFromTheFilesDatesAndWrittenBack) {
    const QStringList files{tree.add("first"), tree.add("gone"), tree.add("third")};
    // A modification date unlike the creation date, to tell which one is used.
    const QDateTime modified(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC);
    for (const QString& path : {files[0], files[2]}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    put(refs(files));
    ASSERT_TRUE(QFile::remove(files[1]));
    EXPECT_EQ(names().size(), 2);
    ASSERT_EQ(get("AddedAt").size(), 3);
    for (int i : {0, 2}) {
        const QDateTime born = QFileInfo(files[i]).birthTime();
        EXPECT_NEAR(get("AddedAt")[i].toDouble(),
                    secondsSince1970(born.isValid() ? born : modified), 0.002);
    }
    EXPECT_EQ(get("AddedAt")[1], 1.0) << "unresolvable: its index, in seconds since 1970";
    EXPECT_EQ(get().size(), 3) << "the unresolvable entry stays stored";
}

TEST_F(FavoritesServiceTest, NewestFirstWithTheTimeListCutAndEqualTimesInTheStoredOrder) {
    put(refs({tree.add("a"), tree.add("b"), tree.add("c"), tree.add("d")}));
    // Stored numbers may be whole; a NaN must not upset the sort.
    put(QVariantList{100.0, qint64(200), 100.0, std::nan(""), 5.0, 6.0}, "AddedAt");
    EXPECT_EQ(names(), (QStringList{"b", "a", "c", "d"}));
    EXPECT_EQ(store().favorites()[0].addedAt, dateFromSecondsSince1970(200));
    EXPECT_EQ(get("AddedAt").size(), 4);
    EXPECT_EQ(get("AddedAt").value(1), QVariant(200.0));

    // Many at one time: an unstable sort keeps the order of a handful only.
    QStringList expected;
    QVariantList stored;
    for (int i = 47; i >= 0; --i) { // not the order of their names
        expected << QStringLiteral("same-%1").arg(i, 2, 10, QLatin1Char('0'));
        stored << refs({tree.add(expected.last())});
    }
    put(stored);
    put(QVariantList(48, 3.0), "AddedAt");
    restart();
    EXPECT_EQ(names(), expected);
}

// Nothing the user had is lost to a list this release cannot read.
TEST_F(FavoritesServiceTest, AnUnreadableListIsKeptAsideBeforeAFreshOneIsWrittenOverIt) {
    const QString a = tree.add("a"), b = tree.add("b");
    const QVariantList mixed = refs({a}) << "not data" << refs({b});
    put(mixed);
    put(QVariantList{1.0, std::nan(""), 3.0}, "AddedAt");
    // Loading cuts the time list to the empty bookmark list: the times go aside with it.
    EXPECT_TRUE(names().isEmpty());
    EXPECT_TRUE(get("AddedAt").isEmpty());
    EXPECT_EQ(get("AddedAtUnreadable").size(), 3);
    restart();
    const qsizetype keys = fakes.defaults->allKeys().size();
    // Adding writes a fresh list; the old one is kept once however often it is loaded, and
    // a readable list is written over.
    store().add(url(tree.add("c")));
    store().add(url(b));
    EXPECT_EQ(get("Unreadable"), mixed);
    EXPECT_EQ(fakes.defaults->allKeys().size(), keys + 1);

    // Another unreadable value gets a key of its own.
    put("PLBK");
    restart();
    store().add(url(a));
    EXPECT_EQ(get("Unreadable"), mixed);
    EXPECT_EQ(fakes.defaults->objectForKey("PeloraFavoriteBookmarksUnreadable2"), "PLBK");

    // A time list with a stray element is kept before the load writes the rebuilt one.
    put(refs({tree.add("x/")}), "", folders);
    put(QVariantList{true}, "AddedAt", folders);
    restart();
    EXPECT_EQ(names(folders), QStringList{"x"});
    EXPECT_EQ(get("AddedAtUnreadable", folders), QVariantList{true});
    EXPECT_GT(get("AddedAt", folders).value(0).toDouble(), 1e9) << "from the file";

    // Removing from an unreadable list writes nothing, so nothing needs keeping.
    put(QVariantList{qint64(7)}, "", apps);
    store(apps).remove(FavoriteItem{url(a), {}, {}, {}});
    EXPECT_TRUE(get("Unreadable", apps).isEmpty());
    EXPECT_EQ(get("", apps), QVariantList{qint64(7)});
}

TEST_F(FavoritesServiceTest, RemovingTakesTheFirstEntryFoundAtTheItem) {
    const QString a = tree.add("a"), b = tree.add("b");
    tree.add("a-link -> a");
    put(refs({a, b, a}));
    put(QVariantList{1.0, 2.0, 3.0}, "AddedAt");
    // Named through a link, it matches the stored entry of its target; only the first.
    store().remove(FavoriteItem{url(tree.path("a-link")), {}, {}, {}});
    EXPECT_EQ(names(), (QStringList{"a", "b"}));
    EXPECT_EQ(get("AddedAt"), (QVariantList{2.0, 3.0}));
    EXPECT_EQ(record(get().value(0)).path, b);
}

// A reference on a dead network share: its check waits until the test lets it go.
struct HangingBookmarks : FakeBookmarkService {
    QUrl hanging;
    QSemaphore letGo;
    std::atomic<int> calls = 0, inside = 0, most = 0;
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool scoped) override {
        if (data == blobFor(hanging, true)) {
            ++calls;
            most = std::max(most.load(), ++inside);
            letGo.acquire();
            --inside;
        }
        return FakeBookmarkService::resolveBookmark(data, scoped);
    }
};

TEST_F(FavoritesServiceTest, AFavoriteWhoseCheckHangsShowsAsStoredUntilItsCheckEnds) {
    auto refs = std::make_shared<HangingBookmarks>();
    refs->hanging = tree.url("share/report.odt");
    const QString gone = tree.add("gone.txt");
    put(QVariantList{refs->blobFor(refs->hanging, true), refs->blobFor(url(gone), true),
                     refs->blobFor(url(tree.add("kept.txt")), true)});
    put(QVariantList{3.0, 2.0, 1.0}, "AddedAt");
    ASSERT_TRUE(QFile::remove(gone));
    restart(refs);
    EXPECT_EQ(names(documents, false), (QStringList{"report.odt", "gone.txt", "kept.txt"}));
    EXPECT_TRUE(waitUntil([&] {
        return names(documents, false) == QStringList{"report.odt", "kept.txt"};
    }));
    // A press meanwhile: not a second check at once, but one more once this one ends, as
    // it may have read the share before the change.
    stores->store(documents).refresh();
    refs->letGo.release();
    EXPECT_TRUE(waitUntil([&] { return refs->calls == 2; }));
    refs->letGo.release();
    EXPECT_EQ(names(), QStringList{"kept.txt"});
    EXPECT_EQ(get().size(), 3);
    EXPECT_EQ(refs->most, 1);
    refs->letGo.release(8); // should a check wait after all
}

TEST_F(FavoritesServiceTest, LoadingRewritesOnlyReferencesThroughALinkOrToAMovedFile) {
    const QString real = tree.add("real/f.txt");
    tree.add("via -> real");
    const QVariantList before = refs({real, tree.path("via/f.txt")}) << refs({real}, false);
    put(before);
    EXPECT_EQ(store().favorites().size(), 3);
    EXPECT_EQ(get().value(0), before[0]);
    EXPECT_EQ(record(get().value(1)).path, real);
    EXPECT_TRUE(record(get().value(1)).scoped);
    EXPECT_EQ(get().value(2), before[2]);

    // Renamed: shown at its new place, its reference rewritten.
    const QString renamed = tree.path("real/f (final).txt");
    ASSERT_TRUE(QFile::rename(real, renamed));
    restart();
    EXPECT_EQ(store().favorites().value(0).url, url(renamed));
    EXPECT_EQ(record(get().value(0)).path, renamed);

    // A rewrite that cannot be made keeps the old reference.
    const QVariant old = FakeBookmarkService::blobFor(tree.url("via/f (final).txt"), true);
    fakes.bookmarks->scopedUncreatable.insert(url(renamed));
    put(QVariantList{old});
    restart(fakes.bookmarks);
    EXPECT_EQ(store().favorites().size(), 1);
    EXPECT_EQ(get(), QVariantList{old});
}

TEST_F(FavoritesServiceTest, ApplicationNamesLoseTheirAppSuffixInTheApplicationsStoreOnly) {
    const QString foo = tree.add("Foo.APP/");
    for (const QString& app : {foo, tree.add("bar.app.d/"),
                               tree.add("org.example.Viewer.desktop",
                                        "[Desktop Entry]\nType=Application\nName=Viewer.app\n")})
        store(apps).add(url(app));
    QStringList appNames = names(apps);
    appNames.sort();
    EXPECT_EQ(appNames, (QStringList{"Foo", "Viewer", "bar.app.d"}));
    store(folders).add(url(foo));
    EXPECT_EQ(names(folders), QStringList{"Foo.APP"});
}

TEST_F(FavoritesServiceTest, EachItemIsClassifiedByItsKind) {
    const TempTree kinds{"Folder.d/", "Tool.App/"};
    const std::pair<QUrl, Category> cases[] = {
        {kinds.url("Tool.App/"), apps},           {kinds.url("missing.app"), apps},
        {kinds.url("editor.DESKTOP"), apps},      {kinds.url("Folder.d"), folders},
        {kinds.url("missing-folder"), documents}, {QUrl("https://example.org/"), documents},
    };
    for (const auto& [url, category] : cases)
        EXPECT_EQ(classifyFavoriteURL(url), category) << url.toString().toStdString();
}

// Dropped on the strip or the editor, or picked in its panel: one way in for all of them.
TEST_F(FavoritesServiceTest, AddedItemsJoinTheStoreOfTheirKindUnderTheAccessTheyCameWith) {
    const QString doc = tree.add("Handed/report.txt"), dir = tree.add("Handed/Folder/");
    tree.add("folder-link -> Handed/Folder");
    restart(fakes.bookmarks);
    // Reachable only while the access handed with the item is held, as a sandbox grants it.
    fakes.bookmarks->needsAccess = {url(doc)};
    stores->add({url(doc), url(tree.path("folder-link"))});
    EXPECT_EQ(names(documents), QStringList{"report.txt"});
    EXPECT_EQ(store(folders).favorites().value(0).url, url(dir));
}
