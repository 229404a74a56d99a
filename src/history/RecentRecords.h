#pragma once

#include "common/FileURL.h"
#include "platform/RecentItemsIndex.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <optional>

// What the recent documents' and recent folders' histories do alike.

// What their stored records have alike: the item's path, its display name and when it was last
// opened, stored as "path", "displayName" and "lastOpenedAt", all required.
struct RecentRecordBasics {
    QString path;
    QString displayName;
    QDateTime lastOpenedAt;

    QJsonObject toJson() const;
    static std::optional<RecentRecordBasics> fromJson(const QJsonObject& object);
};

// Records stored as a compact JSON array of the objects toObject makes.
template <class Record, class ToObject>
QByteArray encodeRecordArray(const QList<Record>& records, ToObject toObject) {
    QJsonArray array;
    for (const Record& record : records)
        array.append(toObject(record));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// Whether the stored form can carry every record's date.
template <class Record> bool allDated(const QList<Record>& records) {
    return std::all_of(records.cbegin(), records.cend(),
                       [](const Record& r) { return r.lastOpenedAt.isValid(); });
}

// Puts record last in records, in place of any record of the same item: the file at normalised
// once links and aliases are resolved.
template <class Record>
void putLast(QList<Record>& records, const Record& record, const QUrl& normalised,
             const FileSystem& fileSystem) {
    records.removeIf([&](const Record& r) {
        return resolvedFileURL(QUrl::fromLocalFile(r.path), fileSystem) == normalised;
    });
    records.append(record);
}

// Stores the item url names, once links and aliases are resolved, last in the history's records,
// in place of any record of the same item. makeRecord(normalised, path) gives the record, or
// nothing for an item that does not belong in this history; anything but a local item is left
// out.
template <class History, class MakeRecord>
void recordOpenedItem(History& history, const QUrl& url, const FileSystem& fileSystem,
                      MakeRecord makeRecord) {
    const QUrl normalised = resolvedFileURL(url, fileSystem);
    if (!normalised.isLocalFile())
        return;
    const auto record = makeRecord(normalised, normalised.toLocalFile());
    if (!record)
        return;
    auto records = history.loadPersistedRecords();
    putLast(records, *record, normalised, fileSystem);
    history.savePersistedRecords(records);
}

// Stops the query in flight, if any, and forgets it.
void stopQuery(std::unique_ptr<RecentItemsQuery>& query);
// Starts a query of index in place of query, which stops; done gets its results.
void restartQuery(std::unique_ptr<RecentItemsQuery>& query, RecentItemsIndex& index,
                  const RecentItemsPredicate& predicate, RecentItemsQuery::FinishedGathering done);
