#pragma once

#include "platform/RecentItemsIndex.h"

#include <QByteArray>

// One entry of a recently-used bookmark file: the local path and the latest of its dates.
struct RecentlyUsedEntry {
    QString path;
    QDateTime lastUsed;
};

// Reads the freedesktop recently-used bookmark file (written by GTK, KDE and most desktop
// applications) in the background, with GLib's reader. A broken or hostile file gives fewer
// results, never a crash or a hang.
class LinuxRecentItemsIndex : public RecentItemsIndex {
public:
    // Bigger files are read only up to this size.
    static constexpr qint64 defaultMaxFileSize = 64 * 1024 * 1024;

    // Empty arguments mean $XDG_DATA_HOME/recently-used.xbel and the user's home folder.
    explicit LinuxRecentItemsIndex(QString bookmarkFilePath = {}, QString homePath = {},
                                   qint64 maxFileSize = defaultMaxFileSize);

    std::unique_ptr<RecentItemsQuery> makeQuery(const RecentItemsPredicate& predicate) override;

    QString bookmarkFilePath() const { return bookmarkFilePath_; }
    QString homePath() const { return homePath_; }

    // The whole query, synchronously: read, parse, filter by kind, home folder and date,
    // newest first. Any thread. shouldStop is polled between entries.
    static QList<RecentItemsResult> gather(const QString& bookmarkFilePath, const QString& homePath,
                                           qint64 maxFileSize,
                                           const RecentItemsPredicate& predicate,
                                           const std::function<bool()>& shouldStop = {});

private:
    QString bookmarkFilePath_;
    QString homePath_;
    qint64 maxFileSize_;
};

// The local-file entries of a recently-used bookmark file, in file order, one per path. An
// entry whose dates are all unknown is left out. When the file as a whole does not parse, the
// entries are salvaged one by one. Any thread.
QList<RecentlyUsedEntry> parseRecentlyUsedFile(const QByteArray& data);

// The contents of the file, at most maxSize bytes; empty when it is missing or is not a
// regular file (a pipe or a device would block or never end).
QByteArray readRecentlyUsedFile(const QString& path, qint64 maxSize);
