#include "HistoryTestSupport.h"

#include "fakes/FakeBookmarkService.h"
#include "history/RecentAccessService.h"

namespace {

// References that, like the real ones, stop resolving once nothing exists at their path.
class ExistingItemBookmarks : public FakeBookmarkService {
public:
    std::optional<QByteArray> createBookmark(const QUrl& url, bool scoped) override {
        if (!QFileInfo::exists(url.toLocalFile()))
            return std::nullopt;
        return FakeBookmarkService::createBookmark(url, scoped);
    }
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool scoped) override {
        auto url = FakeBookmarkService::resolveBookmark(data, scoped);
        if (!url || !QFileInfo::exists(url->toLocalFile()))
            return std::nullopt;
        return url;
    }
};

class RecentAccessTest : public HistoryTest {
protected:
    std::shared_ptr<ExistingItemBookmarks> bookmarks = std::make_shared<ExistingItemBookmarks>();

    Platform makePlatform() override {
        Platform p = HistoryTest::makePlatform();
        p.bookmarks = bookmarks;
        return p;
    }
    RecentAccessService& service() { return services->get<RecentAccessService>(); }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }
    QList<QUrl> storedURLs() {
        QList<QUrl> out;
        for (const QByteArray& grant : service().loadGrants())
            out << FakeBookmarkService::urlOfBlob(grant);
        return out;
    }
};

TEST_F(RecentAccessTest, AGrantCoversItsFolderAndWhatIsBelowButNotSiblings) {
    const QString doc = folder(QStringLiteral("Doc"));
    const QString deep = file(QStringLiteral("Doc/a/b/report.txt"));
    const QString sibling = file(QStringLiteral("Docs/other.txt"));
    const QString outside = file(QStringLiteral("notes.txt"));
    EXPECT_FALSE(service().accessURL(url(deep)).has_value()); // nothing stored yet

    ASSERT_TRUE(service().storeGrant(url(doc)));
    EXPECT_EQ(service().accessURL(url(doc)), url(doc));
    EXPECT_EQ(service().accessURL(url(deep)), url(doc));
    EXPECT_EQ(service().accessURL(url(doc + QStringLiteral("/a/../a/b"))), url(doc));
    EXPECT_EQ(service().accessURL(url(doc + u'/')), url(doc));
    EXPECT_FALSE(service().accessURL(url(sibling)).has_value());
    EXPECT_FALSE(service().accessURL(url(outside)).has_value());
    // Every grant is made with the scoped option.
    ASSERT_EQ(bookmarks->creations.size(), 1);
    EXPECT_TRUE(bookmarks->creations[0].scoped);

    // A target reached through a symbolic link or an alias matches by where it lies.
    const QString link = home.path() + QStringLiteral("/shortcut.txt");
    ASSERT_TRUE(QFile::link(deep, link));
    EXPECT_EQ(service().accessURL(url(link)), url(doc));
    const QString alias = file(QStringLiteral("report alias"));
    fileSystem->aliases.insert(alias, deep);
    EXPECT_EQ(service().accessURL(url(alias)), url(doc));

    // The covering rule itself, on URLs as given.
    EXPECT_TRUE(RecentAccessService::covers(url(QStringLiteral("/")), url(QStringLiteral("/x"))));
    EXPECT_FALSE(
        RecentAccessService::covers(url(QStringLiteral("/a/b")), url(QStringLiteral("/a/bc"))));
    EXPECT_FALSE(
        RecentAccessService::covers(url(QStringLiteral("/a/b")), url(QStringLiteral("/a"))));
}

TEST_F(RecentAccessTest, StoringAgainReplacesTheGrantAndMovesItToTheEnd) {
    const QString a = folder(QStringLiteral("A"));
    const QString b = folder(QStringLiteral("B"));
    ASSERT_TRUE(service().storeGrant(url(a)));
    ASSERT_TRUE(service().storeGrant(url(b)));
    // The same folder again, through a symbolic link.
    const QString link = home.path() + QStringLiteral("/A-link");
    ASSERT_TRUE(QFile::link(a, link));
    ASSERT_TRUE(service().storeGrant(url(link)));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));

    // No grant can be made for what does not exist: nothing changes.
    EXPECT_FALSE(service().storeGrant(url(home.path() + QStringLiteral("/missing"))));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));
}

TEST_F(RecentAccessTest, TheFirstStoredCoveringGrantWins) {
    const QString parent = folder(QStringLiteral("Work"));
    const QString child = folder(QStringLiteral("Work/Project"));
    const QString doc = file(QStringLiteral("Work/Project/plan.txt"));
    ASSERT_TRUE(service().storeGrant(url(child)));
    ASSERT_TRUE(service().storeGrant(url(parent)));
    EXPECT_EQ(service().accessURL(url(doc)), url(child));
    EXPECT_EQ(service().accessURL(url(parent + QStringLiteral("/other.txt"))), url(parent));
}

TEST_F(RecentAccessTest, GrantsOfDeletedFoldersArePrunedAtTheNextLookup) {
    const QString gone = folder(QStringLiteral("Gone"));
    const QString kept = folder(QStringLiteral("Kept"));
    const QString unrelated = folder(QStringLiteral("Unrelated"));
    ASSERT_TRUE(service().storeGrant(url(gone)));
    ASSERT_TRUE(service().storeGrant(url(kept)));
    QDir(gone).removeRecursively();
    EXPECT_EQ(storedURLs().size(), 2);
    // A lookup of anything, matched or not, prunes the dead grant.
    EXPECT_FALSE(service().accessURL(url(unrelated)).has_value());
    EXPECT_EQ(storedURLs(), QList{url(kept)});
    EXPECT_EQ(service().accessURL(url(kept)), url(kept));

    // A grant that resolves while scanning but not at the very end yields nothing.
    struct FailsLastResolution : ExistingItemBookmarks {
        int allowed = 1;
        std::optional<QUrl> resolveBookmark(const QByteArray& data, bool scoped) override {
            if (allowed-- <= 0)
                return std::nullopt;
            return ExistingItemBookmarks::resolveBookmark(data, scoped);
        }
    };
    auto flaky = std::make_shared<FailsLastResolution>();
    bookmarks = flaky;
    const QVariant stored = *defaults->objectForKey(RecentAccessService::storageKey.key());
    services = std::make_unique<Services>(makePlatform());
    EXPECT_FALSE(service().accessURL(url(kept)).has_value());
    EXPECT_EQ(*defaults->objectForKey(RecentAccessService::storageKey.key()), stored);
}

TEST_F(RecentAccessTest, AStoredValueThatIsNotAListOfDataMeansNoGrants) {
    const QString a = folder(QStringLiteral("A"));
    const QString key = RecentAccessService::storageKey.key();
    for (const QVariant& bad :
         {QVariant(QStringLiteral("x")), QVariant(QVariantList{QByteArray("b"), 3}),
          QVariant(QByteArray("data"))}) {
        defaults->setObject(key, bad);
        EXPECT_TRUE(service().loadGrants().isEmpty());
        EXPECT_FALSE(service().accessURL(url(a)).has_value());
    }
    // The next store overwrites it.
    ASSERT_TRUE(service().storeGrant(url(a)));
    EXPECT_EQ(storedURLs(), QList{url(a)});
    EXPECT_TRUE(variantIsArray(*defaults->objectForKey(key)));
    EXPECT_TRUE(variantIsData(defaults->objectForKey(key)->toList().first()));
}

} // namespace
