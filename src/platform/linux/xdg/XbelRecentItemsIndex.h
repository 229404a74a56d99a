#pragma once

#include "platform/RecentItemsIndex.h"
#include "platform/linux/xdg/XbelReader.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QTimer>

#include <ctime>
#include <sys/types.h>

// What tells one version of the bookmark file from another without reading it. GTK replaces
// the file by renaming (a new inode); KDE and others may rewrite it in place (a new size or
// modification time).
struct RecentlyUsedFileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    friend bool operator==(const RecentlyUsedFileIdentity& a, const RecentlyUsedFileIdentity& b) {
        return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
               a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
               a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

// Reads the freedesktop recently-used bookmark file (written by GTK, KDE and most desktop
// applications) with XbelReader, on a worker thread of its own: Qt's shared pool also
// serves Qt's image and painting code, which must never wait for a large file. The file is
// parsed once per version: every query over an unchanged file, of either kind, reuses the
// last parse. A broken or hostile file gives fewer results, never a crash or a hang.
class XbelRecentItemsIndex : public RecentItemsIndex {
public:
    // Bigger files are read only up to this size.
    static constexpr qint64 defaultMaxFileSize = 64 * 1024 * 1024;

    // Empty arguments mean $XDG_DATA_HOME/recently-used.xbel and the user's home folder.
    explicit XbelRecentItemsIndex(QString bookmarkFilePath = {}, QString homePath = {},
                                  qint64 maxFileSize = defaultMaxFileSize);
    ~XbelRecentItemsIndex() override;

    std::unique_ptr<RecentItemsQuery> makeQuery(const RecentItemsPredicate& predicate) override;

    // After a change is noticed, how long further ones are gathered into one report: a
    // program writes the file and renames it into place, and may do so for several entries.
    static constexpr int changeSettleMs = 200;

    QString bookmarkFilePath() const { return bookmarkFilePath_; }
    QString homePath() const { return homePath_; }
    // How many times the file has been read and parsed so far. Any thread.
    int parseCount() const;

    // The whole query, synchronously and without the cache: read, parse, filter by kind, home
    // folder and date, newest first. Any thread.
    static QList<RecentItemsResult> gather(const QString& bookmarkFilePath, const QString& homePath,
                                           qint64 maxFileSize,
                                           const RecentItemsPredicate& predicate);

    struct Worker;

private:
    void watch();
    void watchedPathChanged();

    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* settle_ = nullptr;
    QString bookmarkFilePath_;
    QString homePath_;
    qint64 maxFileSize_;
    std::shared_ptr<Worker> worker_;
};

// The contents of the file, at most maxSize bytes; empty when it is missing or is not a
// regular file (a pipe or a device would block or never end). identity, when given, receives
// that of the file actually read.
QByteArray readRecentlyUsedFile(const QString& path, qint64 maxSize,
                                RecentlyUsedFileIdentity* identity = nullptr);
