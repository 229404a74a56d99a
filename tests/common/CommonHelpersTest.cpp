#include "common/Dates.h"
#include "common/FileURL.h"
#include "common/RectString.h"
#include "fakes/FakeFileSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

TEST(Dates, BothEpochsRoundTripAndAgree) {
    const QDateTime t(QDate(2026, 12, 6), QTime(20, 10, 25, 354), Qt::UTC);
    EXPECT_DOUBLE_EQ(secondsSince2001(QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)), 0.0);
    EXPECT_DOUBLE_EQ(secondsSince1970(t) - secondsSince2001(t), 978307200.0);
    EXPECT_EQ(dateFromSecondsSince2001(secondsSince2001(t)), t);
    EXPECT_EQ(dateFromSecondsSince1970(secondsSince1970(t)), t);
    EXPECT_EQ(dateFromSecondsSince2001(-1.5).toMSecsSinceEpoch(), 978307200000LL - 1500);
    // Stored numbers come from outside: nonsense must not crash or overflow.
    EXPECT_FALSE(dateFromSecondsSince2001(std::nan("")).isValid());
    EXPECT_TRUE(dateFromSecondsSince1970(1e300).isValid());
    EXPECT_LT(distantPast(), dateFromSecondsSince1970(-1e9));
}

TEST(RectString, WritesThePlatformFormAndReadsLeniently) {
    EXPECT_EQ(rectToString(QRectF(1396, 317.5, 32, 240)),
              QStringLiteral("{{1396, 317.5}, {32, 240}}"));
    EXPECT_EQ(rectFromString(QStringLiteral("{{1396, 317.5}, {32, 240}}")),
              QRectF(1396, 317.5, 32, 240));
    EXPECT_EQ(rectFromString(QStringLiteral("{{-10, 2e2}, {3}}")), QRectF(-10, 200, 3, 0));
    EXPECT_EQ(rectFromString(QStringLiteral("garbage")), QRectF());
    EXPECT_EQ(rectFromString(QString()), QRectF());
}

TEST(FileURL, ResolvesAliasesThenSymbolicLinks) {
    const TempTree tree{"real/sub/a.txt", "link -> real"};
    const QString root = tree.root();

    FakeFileSystem fs;
    const QUrl viaLink = QUrl::fromLocalFile(root + QStringLiteral("/link/sub/./a.txt"));
    EXPECT_EQ(resolvedFileURL(viaLink, fs).toLocalFile(), root + QStringLiteral("/real/sub/a.txt"));

    // An alias resolves to its target, whose links are resolved in turn.
    fs.aliases.insert(root + QStringLiteral("/alias"), root + QStringLiteral("/link/sub"));
    EXPECT_EQ(
        resolvedFileURL(QUrl::fromLocalFile(root + QStringLiteral("/alias")), fs).toLocalFile(),
        root + QStringLiteral("/real/sub"));
    // A failed resolution keeps the URL; a missing item keeps its (cleaned) path.
    fs.unresolvable.insert(root + QStringLiteral("/broken"), {});
    EXPECT_EQ(
        resolvedFileURL(QUrl::fromLocalFile(root + QStringLiteral("/broken")), fs).toLocalFile(),
        root + QStringLiteral("/broken"));
    EXPECT_EQ(resolvedFileURL(QUrl::fromLocalFile(root + QStringLiteral("/gone/../x/")), fs)
                  .toLocalFile(),
              root + QStringLiteral("/x"));

    const QUrl web(QStringLiteral("https://example.org/a/../b"));
    EXPECT_EQ(resolvedFileURL(web, fs), web);
}
