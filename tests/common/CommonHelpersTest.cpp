#include "common/Dates.h"
#include "common/FileURL.h"
#include "fakes/FakeFileSystem.h"
#include "platform/ScreenGeometry.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

TEST(CommonHelpers, DatesBothEpochsRoundTripAndNonsenseNeverCrashes) {
    const QDateTime t(QDate(2026, 12, 6), QTime(20, 10, 25, 354), Qt::UTC);
    EXPECT_DOUBLE_EQ(secondsSince2001(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)), 0.0);
    EXPECT_DOUBLE_EQ(secondsSince1970(t) - secondsSince2001(t), 978307200.0);
    EXPECT_EQ(dateFromSecondsSince2001(secondsSince2001(t)), t);
    EXPECT_EQ(dateFromSecondsSince1970(secondsSince1970(t)), t);
    EXPECT_EQ(dateFromSecondsSince2001(-1.5).toMSecsSinceEpoch(), 978307200000LL - 1500);
    // Stored numbers come from outside.
    EXPECT_FALSE(dateFromSecondsSince2001(std::nan("")).isValid());
    EXPECT_TRUE(dateFromSecondsSince1970(1e300).isValid());
    EXPECT_LT(distantPast(), dateFromSecondsSince1970(-1e9));
}

TEST(CommonHelpers, FileURLResolvesAliasesThenSymbolicLinks) {
    const TempTree tree{"real/sub/a.txt", "link -> real"};
    FakeFileSystem fs;
    fs.aliases.insert(tree.path("alias"), tree.path("link/sub"));
    fs.unresolvable.insert(tree.path("broken"), {});
    const std::pair<QString, QString> cases[] = {
        {"link/sub/./a.txt", "real/sub/a.txt"},
        {"alias", "real/sub"}, // the target's links too
        {"broken", "broken"},  // kept as given
        {"gone/../x/", "x"},   // missing: the path cleaned
    };
    for (const auto& [given, resolved] : cases)
        EXPECT_EQ(resolvedFileURL(tree.url(given), fs), tree.url(resolved)) << given.toStdString();
    const QUrl web("https://example.org/a/../b");
    EXPECT_EQ(resolvedFileURL(web, fs), web);
}

TEST(ScreenGeometry, FlipsAboutTheMainScreensBottomEdge) {
    // The main screen right of and below another: its bottom-left corner is still (0, 0).
    const ScreenGeometry offset(QPointF(1920, 300), 1080);
    EXPECT_EQ(offset.toBottomLeft(QRectF(1920, 300, 2560, 1080)), QRectF(0, 0, 2560, 1080));
    EXPECT_EQ(offset.toBottomLeft(QRectF(0, 0, 1920, 1200)), QRectF(-1920, 180, 1920, 1200));
    for (const QRectF& r : {QRectF(10.5, -20, 32, 240), QRectF(-3000, 4000, 240, 32)})
        EXPECT_EQ(offset.toBottomLeft(offset.toTopLeft(r)), r);
}
