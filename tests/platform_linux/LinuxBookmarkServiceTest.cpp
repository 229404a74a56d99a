#include "platform/linux/files/LinuxBookmarkService.h"
#include "support/TempTree.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
class LinuxBookmarks : public ::testing::Test {
protected:
    TempTree tree{"f", "folder/"};
    const QString file = tree.path(u"f"_s);
    LinuxBookmarkService service;
};
} // namespace

// The record's layout is the one the strip script writes its favorites in.
TEST_F(LinuxBookmarks, AReferenceResolvesWhileSomethingIsThere) {
    const QByteArray ref = service.createBookmark(QUrl::fromLocalFile(file), true).value();
    const QByteArray folderRef = service.createBookmark(tree.url(u"folder/"_s), false).value();
    EXPECT_EQ(service.resolveBookmark(folderRef, false), tree.url(u"folder"_s));
    EXPECT_FALSE(service.resolveBookmark(folderRef, true)) << "made without scope";

    // Something else at the same path still counts (a document saved by writing a new file
    // over it), but the reference is stale; nothing there does not count.
    bool stale = true;
    EXPECT_EQ(service.resolveBookmarkAndStaleness(ref, true, stale), QUrl::fromLocalFile(file));
    EXPECT_FALSE(stale);
    ASSERT_EQ(::rename(QFile::encodeName(tree.add(u"saving"_s)), QFile::encodeName(file)), 0);
    EXPECT_EQ(service.resolveBookmarkAndStaleness(ref, true, stale), QUrl::fromLocalFile(file));
    EXPECT_TRUE(stale);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_FALSE(service.resolveBookmark(ref, true));
}

TEST_F(LinuxBookmarks, ARenamedOrMovedItemIsFoundByItsIdentityInItsFolderOrTheUsersFolders) {
    tree.add(u"home/Documents/Deeper/"_s), tree.add(u"elsewhere/"_s);
    const EnvOverride home("HOME", tree.path(u"home"_s));
    const struct {
        const char *from, *to;
        bool replaced; // something new appears at the old path
        bool found;
    } cases[] = {{"in/a.txt", "in/renamed – é.txt", false, true},
                 {"in/b.txt", "in/b-old.txt", true, true},
                 {"in/folder/", "in/folder renamed", false, true},
                 {"in/c.txt", "home/Documents/c.txt", false, true},
                 {"in/d.txt", "home/d.txt", false, true},
                 // One level deep only, and only the folders named.
                 {"in/e.txt", "home/Documents/Deeper/e.txt", false, false},
                 {"in/f.txt", "elsewhere/f.txt", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        const QString from = tree.add(c.from);
        const QByteArray ref = service.createBookmark(QUrl::fromLocalFile(from), false).value();
        ASSERT_TRUE(QFile::rename(from, tree.path(c.to)));
        if (c.replaced)
            tree.add(c.from, "new");
        bool stale = false;
        EXPECT_EQ(service.resolveBookmarkAndStaleness(ref, false, stale),
                  c.found ? std::optional(tree.url(c.to)) : std::nullopt);
        EXPECT_EQ(stale, c.found);
    }
}

// A search looks at up to twenty thousand entries: not again until something could be found.
TEST_F(LinuxBookmarks, AMissingItemIsSearchedForOnceUntilAFolderItCouldBeInChanges) {
    const EnvOverride home("HOME", tree.path(u"home"_s));
    const QByteArray ref = service.createBookmark(QUrl::fromLocalFile(file), true).value();
    ASSERT_TRUE(QFile::rename(file, tree.add(u"folder/deeper/"_s) + u"f"_s)); // out of reach
    for (const bool scoped : {true, false, true, false})
        EXPECT_FALSE(service.resolveBookmark(ref, scoped));
    EXPECT_EQ(service.searchesMade(), 1);
    tree.add(u"home/Documents/unrelated.txt"_s);
    EXPECT_FALSE(service.resolveBookmark(ref, false));
    EXPECT_EQ(service.searchesMade(), 2);
}

TEST_F(LinuxBookmarks, NothingIsMadeOfWhatCannotBeReferencedAndMalformedReferencesNeverResolve) {
    tree.add(u"dangling -> gone"_s);
    for (const QUrl& url : {tree.url(u"missing"_s), QUrl(u"https://example.org/a"_s), QUrl(),
                            QUrl(u"relative/path"_s), tree.url(u"dangling"_s)})
        EXPECT_FALSE(service.createBookmark(url, false)) << url.toString().toStdString();
    const QByteArray good = service.createBookmark(QUrl::fromLocalFile(file), true).value();
    const auto patched = [&](int offset, const QByteArray& bytes) {
        return QByteArray(good).replace(offset, bytes.size(), bytes);
    };
    const auto withPath = [&](const QByteArray& path) {
        QByteArray b = good.left(28) + path;
        qToBigEndian<quint32>(quint32(path.size()), b.data() + 24);
        return b;
    };
    ASSERT_TRUE(service.resolveBookmark(withPath(file.toUtf8()), true));
    QList<QByteArray> bad{good + "x", patched(0, "XLBK"), patched(4, QByteArray("\0\2", 2)),
                          patched(4, QByteArray("\0\0", 2)), patched(6, QByteArray("\0\5", 2)),
                          // Length fields that lie, in both directions.
                          patched(24, "\xff\xff\xff\xff"), patched(24, QByteArray("\0\0\0\1", 4)),
                          // Paths this program never writes.
                          withPath(":/x"), withPath(tree.root().toUtf8() + "/../x/../f"),
                          withPath(file.toUtf8() + QByteArray("\0/x", 3)),
                          withPath("/tmp/\xff\xfe"), withPath("/tmp/\xc3")};
    for (int n = 0; n < good.size(); ++n)
        bad << good.left(n);
    for (const QByteArray& blob : bad)
        EXPECT_FALSE(service.resolveBookmark(blob, false) || service.recordedURL(blob))
            << blob.toHex().toStdString();
}
