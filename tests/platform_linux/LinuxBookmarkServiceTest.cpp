#include "platform/linux/LinuxBookmarkService.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
class LinuxBookmarks : public ::testing::Test {
protected:
    QString makeFile(const QString& name, const QByteArray& content = "x") {
        return tree.add(name, content);
    }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }

    TempTree tree;
    const QString root = tree.root();
    LinuxBookmarkService service;
};
} // namespace

TEST_F(LinuxBookmarks, ReferencesResolveToTheCurrentPathWhileSomethingIsThere) {
    const QString file = makeFile(QStringLiteral("notes – é.txt"));
    QDir(root).mkdir(QStringLiteral("folder"));
    const QString folder = root + QStringLiteral("/folder");

    const auto fileRef = service.createBookmark(url(file), true);
    const auto folderRef = service.createBookmark(url(folder + u'/'), false);
    ASSERT_TRUE(fileRef && folderRef);
    EXPECT_EQ(service.resolveBookmark(*fileRef, true), url(file));
    EXPECT_EQ(service.resolveBookmark(*fileRef, false), url(file));
    EXPECT_EQ(service.resolveBookmark(*folderRef, false), url(folder));
    // Scope cannot be asked of a reference that was made without it.
    EXPECT_FALSE(service.resolveBookmark(*folderRef, true));

    bool stale = true;
    EXPECT_EQ(service.resolveBookmarkAndStaleness(*fileRef, false, stale), url(file));
    EXPECT_FALSE(stale);

    // Something else at the same path still counts (a document saved by writing a new file
    // over it), but the reference is stale; nothing there does not count.
    const QString saved = makeFile(QStringLiteral("saving"), "replaced");
    ASSERT_TRUE(::rename(QFile::encodeName(saved), QFile::encodeName(file)) == 0);
    EXPECT_EQ(service.resolveBookmarkAndStaleness(*fileRef, true, stale), url(file));
    EXPECT_TRUE(stale);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_FALSE(service.resolveBookmark(*fileRef, true));
}

TEST_F(LinuxBookmarks, ARenamedOrMovedItemIsFoundByItsIdentityInItsFolderOrTheUsersFolders) {
    const QString home = root + QStringLiteral("/home");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Documents/Deeper")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/inbox")));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/elsewhere")));
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    const struct {
        const char* from;
        const char* to;
        bool replaced; // something new appears at the old path
        bool found;
    } cases[] = {
        {"inbox/a.txt", "inbox/renamed.txt", false, true},
        {"inbox/b.txt", "inbox/b-old.txt", true, true},
        {"inbox/folder", "inbox/folder renamed", false, true},
        {"inbox/c.txt", "home/Documents/c.txt", false, true},
        {"inbox/d.txt", "home/d.txt", false, true},
        // One level deep only, and only the folders named.
        {"inbox/e.txt", "home/Documents/Deeper/e.txt", false, false},
        {"inbox/f.txt", "elsewhere/f.txt", false, false},
    };
    for (const auto& c : cases) {
        const QString from = root + u'/' + QString::fromUtf8(c.from);
        const QString to = root + u'/' + QString::fromUtf8(c.to);
        if (from.endsWith(QStringLiteral("folder")))
            QDir().mkpath(from);
        else
            makeFile(QString::fromUtf8(c.from));
        const auto ref = service.createBookmark(url(from), false);
        ASSERT_TRUE(ref) << c.from;
        ASSERT_TRUE(QFile::rename(from, to)) << c.to;
        if (c.replaced)
            makeFile(QString::fromUtf8(c.from), "new");
        bool stale = false;
        const auto resolved = service.resolveBookmarkAndStaleness(*ref, false, stale);
        if (c.found) {
            EXPECT_EQ(resolved, std::optional<QUrl>(url(to))) << c.to;
            EXPECT_TRUE(stale) << c.to;
        } else {
            EXPECT_FALSE(resolved) << c.to;
        }
    }
    qputenv("HOME", savedHome);
}

TEST_F(LinuxBookmarks, TheBlobIsTheDocumentedRecord) {
    const QString file = makeFile(QStringLiteral("a.txt"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    const QByteArray blob = *service.createBookmark(url(file), true);
    const QByteArray path = file.toUtf8();

    ASSERT_EQ(blob.size(), 28 + path.size());
    EXPECT_EQ(blob.left(4), QByteArray("PLBK"));
    EXPECT_EQ(qFromBigEndian<quint16>(blob.constData() + 4), 1);
    EXPECT_EQ(qFromBigEndian<quint16>(blob.constData() + 6), 0x1);
    EXPECT_EQ(qFromBigEndian<quint64>(blob.constData() + 8), quint64(st.st_dev));
    EXPECT_EQ(qFromBigEndian<quint64>(blob.constData() + 16), quint64(st.st_ino));
    EXPECT_EQ(qFromBigEndian<quint32>(blob.constData() + 24), quint32(path.size()));
    EXPECT_EQ(blob.mid(28), path);

    QDir(root).mkdir(QStringLiteral("d"));
    const auto record =
        LinuxBookmarkService::decodeRecord(*service.createBookmark(url(root + "/d"), false));
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->directory);
    EXPECT_FALSE(record->scoped);
    EXPECT_EQ(record->path, root + QStringLiteral("/d"));
}

TEST_F(LinuxBookmarks, CreationFailsForWhatCannotBeReferenced) {
    EXPECT_FALSE(service.createBookmark(url(root + QStringLiteral("/missing")), true));
    EXPECT_FALSE(service.createBookmark(QUrl(QStringLiteral("https://example.org/a")), true));
    EXPECT_FALSE(service.createBookmark(QUrl(), false));
    EXPECT_FALSE(service.createBookmark(QUrl(QStringLiteral("relative/path")), false));
    // A link whose target is gone references nothing.
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/gone"), root + QStringLiteral("/dangling")));
    EXPECT_FALSE(service.createBookmark(url(root + QStringLiteral("/dangling")), false));
}

TEST_F(LinuxBookmarks, CreationFailsWhenTheUserCannotReadTheItem) {
    const QString secret = makeFile(QStringLiteral("secret"));
    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::WriteOwner));
    if (::geteuid() != 0) {
        EXPECT_FALSE(service.createBookmark(url(secret), true));
        EXPECT_FALSE(service.createBookmark(url(secret), false));
        return;
    }
    // Root reads everything: ask as an ordinary user in a child process.
    ASSERT_EQ(::chmod(QFile::encodeName(root).constData(), 0755), 0);
    const QString open = makeFile(QStringLiteral("open"));
    ASSERT_TRUE(QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        LinuxBookmarkService asUser;
        const bool secretRefused =
            !asUser.createBookmark(url(secret), true) && !asUser.createBookmark(url(secret), false);
        const bool openAccepted = asUser.createBookmark(url(open), true).has_value();
        ::_exit(secretRefused && openAccepted ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(LinuxBookmarks, MalformedBlobsNeverResolve) {
    const QString file = makeFile(QStringLiteral("f"));
    const QByteArray good = *service.createBookmark(url(file), true);
    ASSERT_TRUE(service.resolveBookmark(good, true));

    // Every truncation, and anything appended.
    for (int n = 0; n < good.size(); ++n)
        EXPECT_FALSE(service.resolveBookmark(good.left(n), false)) << n;
    EXPECT_FALSE(service.resolveBookmark(good + "x", false));

    auto patched = [&](int offset, QByteArray bytes) {
        QByteArray b = good;
        b.replace(offset, bytes.size(), bytes);
        return b;
    };
    EXPECT_FALSE(service.resolveBookmark(patched(0, "XLBK"), false));
    EXPECT_FALSE(service.resolveBookmark(patched(4, QByteArray("\x00\x02", 2)), false));
    EXPECT_FALSE(service.resolveBookmark(patched(4, QByteArray("\x00\x00", 2)), false));
    EXPECT_FALSE(service.resolveBookmark(patched(6, QByteArray("\x00\x05", 2)), false));
    // Length fields that lie, in both directions, including far beyond the blob.
    EXPECT_FALSE(service.resolveBookmark(patched(24, QByteArray("\xff\xff\xff\xff", 4)), false));
    EXPECT_FALSE(service.resolveBookmark(patched(24, QByteArray("\x00\x00\x00\x01", 4)), false));

    // Paths this program never writes: relative, with "..", with NUL, not UTF-8.
    auto withPath = [&](const QByteArray& path) {
        QByteArray b = good.left(28) + path;
        qToBigEndian<quint32>(quint32(path.size()), b.data() + 24);
        return b;
    };
    EXPECT_TRUE(service.resolveBookmark(withPath(file.toUtf8()), true));
    EXPECT_FALSE(service.resolveBookmark(withPath("tmp/x"), false));
    EXPECT_FALSE(service.resolveBookmark(withPath(root.toUtf8() + "/../x/../" + "f"), false));
    EXPECT_FALSE(service.resolveBookmark(withPath(file.toUtf8() + QByteArray("\0/x", 3)), false));
    EXPECT_FALSE(service.resolveBookmark(withPath("/tmp/\xff\xfe"), false));
    EXPECT_FALSE(service.resolveBookmark(withPath("/tmp/\xc3"), false));
}

TEST_F(LinuxBookmarks, ScopedAccessIsACountedNoOp) {
    const QString file = makeFile(QStringLiteral("f"));
    EXPECT_TRUE(service.startAccessing(url(file)));
    EXPECT_TRUE(service.startAccessing(url(file)));
    EXPECT_EQ(service.accessCount(url(file)), 2);
    service.stopAccessing(url(file));
    EXPECT_EQ(service.accessCount(url(file)), 1);
    service.stopAccessing(url(file));
    service.stopAccessing(url(file)); // an unmatched stop does not go below zero
    EXPECT_EQ(service.accessCount(url(file)), 0);
    EXPECT_TRUE(service.startAccessing(url(file)));
    EXPECT_EQ(service.accessCount(url(file)), 1);

    EXPECT_FALSE(service.startAccessing(url(root + QStringLiteral("/missing"))));
    EXPECT_FALSE(service.startAccessing(QUrl(QStringLiteral("https://example.org/"))));
    EXPECT_EQ(service.accessCount(url(root + QStringLiteral("/missing"))), 0);
}
