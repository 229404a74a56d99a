#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// A document in the recent-documents history: one the user opened through the program
// (persisted) or one the recent-items index reported (system).
struct RecentDocumentRecord {
    QString path;
    QString displayName;
    // Display name of the application that opens the document, without a trailing ".app";
    // "Other" when no application opens it.
    QString appName;
    std::optional<QString> appPath;
    QDateTime lastOpenedAt;

    friend bool operator==(const RecentDocumentRecord&, const RecentDocumentRecord&) = default;
};

using PersistedRecentDocumentRecord = RecentDocumentRecord;
using SystemRecentDocumentRecord = RecentDocumentRecord;

// The stored form: a JSON array of {"path", "displayName", "appName", "appPath"?,
// "lastOpenedAt"} with dates in seconds since 2001. Decoding fails as a whole on a missing
// required key, a null or a value of the wrong type; "appPath" may be missing or null.
QByteArray encodeRecentDocumentRecords(const QList<RecentDocumentRecord>& records);
std::optional<QList<RecentDocumentRecord>> decodeRecentDocumentRecords(const QByteArray& data);
