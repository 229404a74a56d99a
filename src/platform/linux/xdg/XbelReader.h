#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One entry of a recently-used bookmark file: the local path and the latest of its dates.
struct RecentlyUsedEntry {
    QString path;
    QDateTime lastUsed;
};

// The local-file entries of a recently-used bookmark file, in file order, one per path. An
// entry whose dates are all unknown is left out. When the file as a whole does not parse, the
// entries are salvaged one by one. Any thread.
QList<RecentlyUsedEntry> parseRecentlyUsedFile(const QByteArray& data);
