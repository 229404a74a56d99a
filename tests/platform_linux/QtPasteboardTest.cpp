#include "platform/linux/QtPasteboard.h"

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
} // namespace

TEST(QtPasteboard, CountsEveryWriteAndReadsEachChangeOnce) {
    QtPasteboard pasteboard;
    EXPECT_FALSE(pasteboard.checksOwner()); // no X server offscreen
    const qint64 start = pasteboard.changeCount();
    EXPECT_EQ(pasteboard.changeCount(), start);

    otherProgramWrites(
        {{QStringLiteral("text/plain"), "hello"}, {QStringLiteral("text/rtf"), "{\\rtf1 hello}"}});
    EXPECT_EQ(pasteboard.changeCount(), start + 1);
    const int before = pasteboard.contentReads();
    EXPECT_EQ(pasteboard.types(),
              (QStringList{QStringLiteral("text/plain"), QStringLiteral("text/rtf")}));
    EXPECT_EQ(pasteboard.string(), QStringLiteral("hello"));
    EXPECT_EQ(pasteboard.dataForKind(PasteboardKind::richText), QByteArray("{\\rtf1 hello}"));
    const int afterFirstRead = pasteboard.contentReads();
    EXPECT_EQ(afterFirstRead - before, 3);
    // Asked again within the same change: answered from what was read.
    pasteboard.types();
    pasteboard.string();
    pasteboard.dataForType(QStringLiteral("text/rtf"));
    EXPECT_FALSE(pasteboard.dataForType(PasteboardType::png).has_value()); // not offered
    EXPECT_FALSE(pasteboard.urls().has_value());
    EXPECT_EQ(pasteboard.contentReads(), afterFirstRead);
    for (int i = 0; i < 10; ++i)
        pasteboard.changeCount();
    EXPECT_EQ(pasteboard.contentReads(), afterFirstRead);

    // The next change is read afresh.
    otherProgramWrites({{QStringLiteral("text/plain"), "world"}});
    EXPECT_EQ(pasteboard.changeCount(), start + 2);
    EXPECT_EQ(pasteboard.string(), QStringLiteral("world"));
    EXPECT_FALSE(pasteboard.dataForType(QStringLiteral("text/rtf")).has_value());
}

TEST(QtPasteboard, LeavesOutProtocolTargetsAndNoticesEmptyChanges) {
    QtPasteboard pasteboard;
    otherProgramWrites({{QStringLiteral("TARGETS"), "x"},
                        {QStringLiteral("TIMESTAMP"), "x"},
                        {QStringLiteral("MULTIPLE"), "x"},
                        {QStringLiteral("SAVE_TARGETS"), "x"}});
    EXPECT_TRUE(pasteboard.types().isEmpty());
    const qint64 count = pasteboard.changeCount();
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(pasteboard.changeCount(), count + 1);
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_FALSE(pasteboard.string().has_value());
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
    EXPECT_EQ(pasteboard.urls(), files);
    EXPECT_FALSE(pasteboard.string().has_value());
    // File managers that only take their own type get the same list.
    EXPECT_EQ(pasteboard.dataForType(PasteboardType::gnomeCopiedFiles),
              QByteArray("copy\nfile:///tmp/a%20b.txt\nfile:///tmp/c"));
    pasteboard.writeURLs({QUrl(QStringLiteral("https://example.org/"))});
    EXPECT_FALSE(pasteboard.types().contains(PasteboardType::gnomeCopiedFiles));

    pasteboard.clearContents();
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_EQ(pasteboard.changeCount(), count + 4);
}

TEST(QtPasteboard, SeesTheMarksOfPasswordManagers) {
    QtPasteboard pasteboard;
    otherProgramWrites({{QStringLiteral("text/plain"), "pw"},
                        {QStringLiteral("x-kde-passwordManagerHint"), "secret"}});
    EXPECT_TRUE(pasteboard.isMarkedSecret());
    otherProgramWrites({{QStringLiteral("text/plain"), "pw"},
                        {QStringLiteral("x-kde-passwordManagerHint"), "Secret"}});
    EXPECT_FALSE(pasteboard.isMarkedSecret());
    otherProgramWrites({{QStringLiteral("text/plain"), "pw"},
                        {QStringLiteral("org.nspasteboard.TransientType"), ""}});
    EXPECT_TRUE(pasteboard.isMarkedSecret());
    otherProgramWrites({{QStringLiteral("text/plain"), "plain"}});
    EXPECT_FALSE(pasteboard.isMarkedSecret());
}
