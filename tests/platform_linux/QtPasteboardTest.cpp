#include "platform/linux/QtPasteboard.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

// Offscreen, QClipboard works within the process: another user of it stands in for another
// program.
namespace {
void otherProgramWrites(const QList<std::pair<QString, QByteArray>>& formats) {
    auto* mime = new QMimeData;
    for (const auto& [type, bytes] : formats)
        mime->setData(type, bytes);
    QGuiApplication::clipboard()->setMimeData(mime);
}

PasteboardSnapshot snapshotOf(Pasteboard& pasteboard, const QList<PasteboardWant>& wanted) {
    std::optional<PasteboardSnapshot> result;
    pasteboard.readSnapshot({wanted, 2000}, [&](const PasteboardSnapshot& s) { result = s; });
    EXPECT_FALSE(result.has_value()); // never from within the call
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result.value_or(PasteboardSnapshot());
}
} // namespace

TEST(QtPasteboard, CountsEveryWriteAndReadsTheWantedTypesWithinTheirLimits) {
    QtPasteboard pasteboard;
    EXPECT_FALSE(pasteboard.readsOffMainThread()); // no X server offscreen
    const qint64 start = pasteboard.changeCount();
    EXPECT_EQ(pasteboard.changeCount(), start);

    otherProgramWrites({{QStringLiteral("text/plain"), "hello"},
                        {QStringLiteral("text/rtf"), "{\\rtf1 hello}"},
                        {QStringLiteral("image/png"), "not asked for"},
                        {QStringLiteral("TARGETS"), "x"}});
    EXPECT_EQ(pasteboard.changeCount(), start + 1);
    const PasteboardSnapshot s =
        snapshotOf(pasteboard, {{PasteboardType::plainText, 100}, {PasteboardType::rtf, 6}});
    EXPECT_EQ(s.changeCount, start + 1);
    EXPECT_EQ(s.types, (QStringList{QStringLiteral("text/plain"), QStringLiteral("text/rtf"),
                                    QStringLiteral("image/png")}));
    EXPECT_EQ(s.string(), QStringLiteral("hello"));
    EXPECT_EQ(s.dataForKind(PasteboardKind::richText), QByteArray("{\\rtf1"));
    EXPECT_TRUE(s.isTruncated(PasteboardKind::richText));
    EXPECT_FALSE(s.dataForType(PasteboardType::png).has_value());
    EXPECT_EQ(pasteboard.contentReads(), 1);

    // The owner went away: a change with nothing offered.
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(pasteboard.changeCount(), start + 2);
    EXPECT_TRUE(snapshotOf(pasteboard, {{PasteboardType::plainText, 100}}).types.isEmpty());
}

TEST(QtPasteboard, WritesExactlyWhatItIsGiven) {
    QtPasteboard pasteboard;
    otherProgramWrites({{QStringLiteral("image/png"), "stale"}});
    const qint64 count = pasteboard.changeCount();

    pasteboard.clearAndWrite(
        {QStringLiteral("caf\u00e9"), {}, {{PasteboardType::rtf, "{\\rtf1 caf\\'e9}"}}});
    EXPECT_EQ(pasteboard.changeCount(), count + 1); // counted by the time the write returns
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(mime->text(), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(mime->data(QStringLiteral("text/rtf")), QByteArray("{\\rtf1 caf\\'e9}"));
    EXPECT_FALSE(mime->hasFormat(QStringLiteral("image/png")));

    const QList<QUrl> files = {QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
                               QUrl::fromLocalFile(QStringLiteral("/tmp/c"))};
    pasteboard.writeURLs(files);
    const PasteboardSnapshot s = snapshotOf(pasteboard, {{PasteboardType::uriList, 1000},
                                                         {PasteboardType::plainText, 1000},
                                                         {PasteboardType::gnomeCopiedFiles, 1000}});
    EXPECT_EQ(s.urls(), files);
    EXPECT_FALSE(s.string().has_value());
    // File managers that only take their own type get the same list.
    EXPECT_EQ(s.dataForType(PasteboardType::gnomeCopiedFiles),
              QByteArray("copy\nfile:///tmp/a%20b.txt\nfile:///tmp/c"));
    pasteboard.writeURLs({QUrl(QStringLiteral("https://example.org/"))});
    EXPECT_FALSE(snapshotOf(pasteboard, {}).types.contains(PasteboardType::gnomeCopiedFiles));

    pasteboard.clearContents();
    EXPECT_TRUE(snapshotOf(pasteboard, {}).types.isEmpty());
    EXPECT_EQ(pasteboard.changeCount(), count + 4);
}
