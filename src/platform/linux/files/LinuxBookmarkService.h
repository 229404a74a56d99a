#pragma once

#include "platform/BookmarkService.h"

#include <QHash>
#include <QMutex>
#include <QString>

// One decoded reference blob.
struct BookmarkRecord {
    quint16 version = 0;
    bool scoped = false;
    bool directory = false; // what the item was when the reference was made
    quint64 device = 0;
    quint64 inode = 0;
    QString path; // absolute, clean
};

// Durable file references for a desktop without sandbox bookmarks. A reference remembers the
// path and the item's identity (device and inode). It resolves to that path while the same item
// is there. Otherwise the item is looked for by its identity among the entries of its old
// folder, then of the user's standard folders (home and the XDG user folders), a bounded number
// of entries in all: found, it resolves to its new place. Not found, the reference resolves to
// whatever now holds the path (a document saved by replacing it), else fails. Both of these are
// stale: the caller should store a fresh reference. An item not found is remembered: it is
// looked for again only once one of the folders it could be in has changed, or a day later.
// Linux has no scoped access, so starting and stopping only keep a count.
//
// The blob, version 1 (integers big-endian, 28 + N bytes in all):
//   offset  size  field
//        0     4  magic "PLBK"
//        4     2  version, 1
//        6     2  flags: bit 0 scoped, bit 1 directory; the other bits are 0
//        8     8  device (st_dev) of the item when the reference was made
//       16     8  inode (st_ino) of the item when the reference was made
//       24     4  N, the length of the path in bytes, 1 to 65536
//       28     N  the absolute path, UTF-8, no NUL
// A later release that adds fields raises the version and keeps reading version 1. Anything
// that does not decode exactly (wrong magic, unknown version or flags, other length, a path
// that is relative or not UTF-8) fails to resolve.
//
// createBookmark, resolveBookmark and recordedURL are safe on any thread; start and stop are
// main-thread.
class LinuxBookmarkService : public BookmarkService {
public:
    static constexpr quint16 currentVersion = 1;
    // How many folder entries one search for a moved item looks at, at most.
    static constexpr int maxEntriesSearched = 20000;

    std::optional<QByteArray> createBookmark(const QUrl& url, bool securityScoped) override;
    // A scoped resolution of a reference made without the scoped option fails, as scope
    // cannot be granted after the fact; resolving without the option accepts both.
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool securityScoped) override;
    std::optional<QUrl> resolveBookmarkAndStaleness(const QByteArray& data, bool securityScoped,
                                                    bool& isStale) override;
    std::optional<QUrl> recordedURL(const QByteArray& data) const override;
    // True for a file URL at which something exists.
    bool startAccessing(const QUrl& url) override;
    void stopAccessing(const QUrl& url) override;

    // How many starts on the URL have not been stopped yet.
    int accessCount(const QUrl& url) const;

    static QByteArray encodeRecord(const BookmarkRecord& record);
    static std::optional<BookmarkRecord> decodeRecord(const QByteArray& data);

    // Where the item of the record is now, found by its identity; empty when not found.
    static QString findByIdentity(const BookmarkRecord& record);
    // How many searches by identity this service has made.
    int searchesMade() const;

    // How long an item not found is remembered while its folders stay as they were.
    static constexpr qint64 missRememberedMs = 24 * 3600 * 1000;

private:
    // findByIdentity, unless the same search found nothing before and nothing it would look
    // at has changed since.
    QString findUnlessKnownMissing(const BookmarkRecord& record);

    struct Miss {
        QByteArray folderStamps;
        qint64 when = 0; // milliseconds since 1970
    };
    mutable QMutex mutex_; // guards misses_ and searches_
    QHash<QByteArray, Miss> misses_;
    int searches_ = 0;
    QHash<QString, int> accessCounts_;
};
