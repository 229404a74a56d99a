#include "history/RecentDocumentRecord.h"

#include "history/HistoryJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const QLatin1String kPath("path");
const QLatin1String kDisplayName("displayName");
const QLatin1String kAppName("appName");
const QLatin1String kAppPath("appPath");
const QLatin1String kLastOpenedAt("lastOpenedAt");
} // namespace

QByteArray encodeRecentDocumentRecords(const QList<RecentDocumentRecord>& records) {
    QJsonArray array;
    for (const RecentDocumentRecord& r : records) {
        QJsonObject object{{kPath, r.path},
                           {kDisplayName, r.displayName},
                           {kAppName, r.appName},
                           {kLastOpenedAt, historyjson::dateValue(r.lastOpenedAt)}};
        if (r.appPath)
            object.insert(kAppPath, *r.appPath);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<RecentDocumentRecord>> decodeRecentDocumentRecords(const QByteArray& data) {
    return historyjson::decodeArray<RecentDocumentRecord>(
        data, [](const QJsonObject& object) -> std::optional<RecentDocumentRecord> {
            auto path = historyjson::requiredString(object, kPath);
            auto displayName = historyjson::requiredString(object, kDisplayName);
            auto appName = historyjson::requiredString(object, kAppName);
            auto appPath = historyjson::optionalString(object, kAppPath);
            auto lastOpenedAt = historyjson::requiredDate(object, kLastOpenedAt);
            if (!path || !displayName || !appName || !appPath || !lastOpenedAt)
                return std::nullopt;
            return RecentDocumentRecord{*path, *displayName, *appName, appPath->value,
                                        *lastOpenedAt};
        });
}
