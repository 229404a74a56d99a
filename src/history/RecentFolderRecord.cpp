#include "history/RecentFolderRecord.h"

#include "history/HistoryJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QLatin1String kPath("path");
const QLatin1String kDisplayName("displayName");
const QLatin1String kLastOpenedAt("lastOpenedAt");
} // namespace

QByteArray encodeRecentFolderRecords(const QList<PersistedRecentFolderRecord>& records) {
    QJsonArray array;
    for (const PersistedRecentFolderRecord& r : records)
        array.append(QJsonObject{{kPath, r.path},
                                 {kDisplayName, r.displayName},
                                 {kLastOpenedAt, historyjson::dateValue(r.lastOpenedAt)}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<PersistedRecentFolderRecord>>
decodeRecentFolderRecords(const QByteArray& data) {
    return historyjson::decodeArray<PersistedRecentFolderRecord>(
        data, [](const QJsonObject& object) -> std::optional<PersistedRecentFolderRecord> {
            auto path = historyjson::requiredString(object, kPath);
            auto displayName = historyjson::requiredString(object, kDisplayName);
            auto lastOpenedAt = historyjson::requiredDate(object, kLastOpenedAt);
            if (!path || !displayName || !lastOpenedAt)
                return std::nullopt;
            return PersistedRecentFolderRecord{*path, *displayName, *lastOpenedAt};
        });
}
