#include "HistoryTestSupport.h"

#include "history/RecentFoldersService.h"

namespace {

class RecentFoldersTest : public HistoryTest {
protected:
    RecentFoldersService& service() { return services->get<RecentFoldersService>(); }
    FakeRecentItemsIndex& index() { return *fakes.recentItemsIndex; }
    QStringList names() {
        QStringList out;
        for (const auto& item : service().currentFolders())
            out << item.displayName;
        return out;
    }
};

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
    EXPECT_EQ(service().currentFolders()[0].url, url(tree.path(".hidden")));
    EXPECT_EQ(fakes.workspace->nameOfIcon(found[0].icon), "file:" + tree.path(".hidden"));
}

} // namespace
