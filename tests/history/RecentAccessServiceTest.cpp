#include "HistoryTestSupport.h"

#include "history/RecentAccessService.h"

namespace {

// References that, like the real ones, stop resolving once nothing exists at their path.
class ExistingItemBookmarks : public FakeBookmarkService {
public:
    int resolutionsLeft = -1; // then every resolution fails; negative: no limit
    std::optional<QByteArray> createBookmark(const QUrl& url, bool scoped) override {
        if (!QFileInfo::exists(url.toLocalFile()))
            return std::nullopt;
        return FakeBookmarkService::createBookmark(url, scoped);
    }
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool scoped) override {
        auto url = FakeBookmarkService::resolveBookmark(data, scoped);
        if (resolutionsLeft == 0 || !url || !QFileInfo::exists(url->toLocalFile()))
            return std::nullopt;
        resolutionsLeft -= resolutionsLeft > 0;
        return url;
    }
};

class RecentAccessTest : public HistoryTest {
protected:
    ExistingItemBookmarks bookmarks;
    RecentAccessService access{*fakes.defaults, *fakes.fileSystem, bookmarks};
    QList<QUrl> storedURLs() {
        QList<QUrl> out;
        // Resolved as the scoped grants they must be.
        for (const QByteArray& grant : access.loadGrants())
            out << bookmarks.FakeBookmarkService::resolveBookmark(grant, true).value_or(QUrl());
        return out;
    }
};

TEST_F(RecentAccessTest, TheFirstStoredGrantThatCoversAnItemWins) {
    const QString work = folder("Work"), project = folder("Work/Project");
    const QString deep = file("Work/Project/a/report.txt"), alias = file("report alias");
    fakes.fileSystem->aliases.insert(alias, deep);
    EXPECT_FALSE(access.accessURL(url(deep))); // nothing stored yet
    ASSERT_TRUE(access.storeGrant(url(project)));
    ASSERT_TRUE(access.storeGrant(url(work)));
    // Nothing covers a sibling with the same beginning, or what is above every grant.
    QStringList granted;
    for (const QString& item :
         {deep, project + "/a/../a", project + u'/',
          tree.add("link.txt -> Work/Project/a/report.txt"), alias, work + "/other.txt",
          file("Workshop/x.txt"), file("notes.txt"), tree.root()})
        granted << access.accessURL(url(item)).value_or(QUrl()).toLocalFile();
    EXPECT_EQ(granted,
              (QStringList{project, project, project, project, project, work, {}, {}, {}}));
}

TEST_F(RecentAccessTest, StoringAgainMovesTheGrantToTheEnd) {
    const QString a = folder("A"), b = folder("B");
    ASSERT_TRUE(access.storeGrant(url(a)));
    ASSERT_TRUE(access.storeGrant(url(b)));
    ASSERT_TRUE(access.storeGrant(url(tree.add("A-link -> A"))));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));
    // No grant can be made for what does not exist: nothing changes.
    EXPECT_FALSE(access.storeGrant(url(tree.path("missing"))));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));
}

TEST_F(RecentAccessTest, DeadGrantsArePrunedAndDamagedStorageMeansNone) {
    const QString gone = folder("Gone"), kept = folder("Kept");
    ASSERT_TRUE(access.storeGrant(url(gone)));
    ASSERT_TRUE(access.storeGrant(url(kept)));
    QDir(gone).removeRecursively();
    // A lookup of anything, matched or not, prunes the dead grant.
    EXPECT_FALSE(access.accessURL(url(folder("Unrelated"))));
    EXPECT_EQ(storedURLs(), QList{url(kept)});
    // A grant that resolves while scanning but not at the very end yields nothing.
    const QString key = RecentAccessService::storageKey.key();
    const QVariant stored = *fakes.defaults->objectForKey(key);
    bookmarks.resolutionsLeft = 1;
    EXPECT_FALSE(access.accessURL(url(kept)));
    EXPECT_EQ(*fakes.defaults->objectForKey(key), stored);
    bookmarks.resolutionsLeft = -1;

    for (const QVariant& bad : {QVariant("x"), QVariant(QVariantList{QByteArray("b"), 3}),
                                QVariant(QByteArray("data"))}) {
        fakes.defaults->setObject(key, bad);
        EXPECT_TRUE(access.loadGrants().isEmpty());
        EXPECT_FALSE(access.accessURL(url(kept)));
    }
    // The next store overwrites it.
    ASSERT_TRUE(access.storeGrant(url(kept)));
    EXPECT_EQ(storedURLs(), QList{url(kept)});
}

} // namespace
