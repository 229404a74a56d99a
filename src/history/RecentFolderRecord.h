#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// A folder the user opened through the program.
struct PersistedRecentFolderRecord {
    QString path;
    QString displayName;
    QDateTime lastOpenedAt;

    friend bool operator==(const PersistedRecentFolderRecord&,
                           const PersistedRecentFolderRecord&) = default;
};

// The stored form: a JSON array of {"path", "displayName", "lastOpenedAt"}, all required,
// dates in seconds since 2001. Anything else decodes as a failure of the whole list.
QByteArray encodeRecentFolderRecords(const QList<PersistedRecentFolderRecord>& records);
std::optional<QList<PersistedRecentFolderRecord>> decodeRecentFolderRecords(const QByteArray& data);
