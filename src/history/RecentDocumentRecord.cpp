#include "history/RecentDocumentRecord.h"

#include "history/HistoryJson.h"
#include "history/RecentRecords.h"

namespace {
const QLatin1String kAppName("appName");
const QLatin1String kAppPath("appPath");
} // namespace

QByteArray encodeRecentDocumentRecords(const QList<RecentDocumentRecord>& records) {
    return encodeRecordArray(records, [](const RecentDocumentRecord& r) {
        QJsonObject object = RecentRecordBasics{r.path, r.displayName, r.lastOpenedAt}.toJson();
        object.insert(kAppName, r.appName);
        if (r.appPath)
            object.insert(kAppPath, *r.appPath);
        return object;
    });
}

std::optional<QList<RecentDocumentRecord>> decodeRecentDocumentRecords(const QByteArray& data) {
    return historyjson::decodeArray<RecentDocumentRecord>(
        data, [](const QJsonObject& object) -> std::optional<RecentDocumentRecord> {
            const auto basics = RecentRecordBasics::fromJson(object);
            auto appName = historyjson::requiredString(object, kAppName);
            auto appPath = historyjson::optionalString(object, kAppPath);
            if (!basics || !appName || !appPath)
                return std::nullopt;
            return RecentDocumentRecord{basics->path, basics->displayName, *appName, appPath->value,
                                        basics->lastOpenedAt};
        });
}
