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
    std::shared_ptr<ExistingItemBookmarks> bookmarks = std::make_shared<ExistingItemBookmarks>();

    RecentAccessTest() {
        fakes.bookmarks = bookmarks;
        services = fakes.makeServices();
    }
    RecentAccessService& service() { return services->get<RecentAccessService>(); }
    QList<QUrl> storedURLs() {
        QList<QUrl> out;
        for (const QByteArray& grant : service().loadGrants())
            out << FakeBookmarkService::urlOfBlob(grant);
        return out;
    }
};

TEST_F(RecentAccessTest, TheFirstStoredGrantThatCoversAnItemWins) {
    const QString work = folder(QStringLiteral("Work"));
    const QString project = folder(QStringLiteral("Work/Project"));
    const QString deep = file(QStringLiteral("Work/Project/a/report.txt"));
    const QString alias = file(QStringLiteral("report alias"));
    fakes.fileSystem->aliases.insert(alias, deep);
    EXPECT_FALSE(service().accessURL(url(deep))); // nothing stored yet
    ASSERT_TRUE(service().storeGrant(url(project)));
    ASSERT_TRUE(service().storeGrant(url(work)));
    EXPECT_TRUE(bookmarks->creations[0].scoped);
    const std::pair<QString, QString> cases[] = {
        {deep, project},
        {project + QStringLiteral("/a/../a"), project},
        {project + u'/', project},
        {tree.add(QStringLiteral("link.txt -> Work/Project/a/report.txt")), project},
        {alias, project},
        {work + QStringLiteral("/other.txt"), work},
        {file(QStringLiteral("Workshop/x.txt")), {}}, // a sibling with the same beginning
        {file(QStringLiteral("notes.txt")), {}},
        {tree.root(), {}}, // above every grant
    };
    for (const auto& [item, grant] : cases)
        EXPECT_EQ(service().accessURL(url(item)),
                  grant.isEmpty() ? std::nullopt : std::optional(url(grant)))
            << item.toStdString();
}

TEST_F(RecentAccessTest, StoringAgainMovesTheGrantToTheEnd) {
    const QString a = folder(QStringLiteral("A"));
    const QString b = folder(QStringLiteral("B"));
    ASSERT_TRUE(service().storeGrant(url(a)));
    ASSERT_TRUE(service().storeGrant(url(b)));
    ASSERT_TRUE(service().storeGrant(url(tree.add(QStringLiteral("A-link -> A")))));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));
    // No grant can be made for what does not exist: nothing changes.
    EXPECT_FALSE(service().storeGrant(url(tree.path(QStringLiteral("missing")))));
    EXPECT_EQ(storedURLs(), (QList{url(b), url(a)}));
}

TEST_F(RecentAccessTest, DeadGrantsArePrunedAndDamagedStorageMeansNone) {
    const QString gone = folder(QStringLiteral("Gone"));
    const QString kept = folder(QStringLiteral("Kept"));
    ASSERT_TRUE(service().storeGrant(url(gone)));
    ASSERT_TRUE(service().storeGrant(url(kept)));
    QDir(gone).removeRecursively();
    // A lookup of anything, matched or not, prunes the dead grant.
    EXPECT_FALSE(service().accessURL(url(folder(QStringLiteral("Unrelated")))));
    EXPECT_EQ(storedURLs(), QList{url(kept)});
    // A grant that resolves while scanning but not at the very end yields nothing.
    const QString key = RecentAccessService::storageKey.key();
    const QVariant stored = *fakes.defaults->objectForKey(key);
    bookmarks->resolutionsLeft = 1;
    EXPECT_FALSE(service().accessURL(url(kept)));
    EXPECT_EQ(*fakes.defaults->objectForKey(key), stored);
    bookmarks->resolutionsLeft = -1;

    for (const QVariant& bad :
         {QVariant(QStringLiteral("x")), QVariant(QVariantList{QByteArray("b"), 3}),
          QVariant(QByteArray("data"))}) {
        fakes.defaults->setObject(key, bad);
        EXPECT_TRUE(service().loadGrants().isEmpty());
        EXPECT_FALSE(service().accessURL(url(kept)));
    }
    // The next store overwrites it.
    ASSERT_TRUE(service().storeGrant(url(kept)));
    EXPECT_EQ(storedURLs(), QList{url(kept)});
}

} // namespace
