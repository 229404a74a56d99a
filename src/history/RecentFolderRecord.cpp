#include "history/RecentFolderRecord.h"

#include "history/HistoryJson.h"
#include "history/RecentRecords.h"

QByteArray encodeRecentFolderRecords(const QList<PersistedRecentFolderRecord>& records) {
    return encodeRecordArray(records, [](const PersistedRecentFolderRecord& r) {
        return RecentRecordBasics{r.path, r.displayName, r.lastOpenedAt}.toJson();
    });
}

std::optional<QList<PersistedRecentFolderRecord>>
decodeRecentFolderRecords(const QByteArray& data) {
    return historyjson::decodeArray<PersistedRecentFolderRecord>(
        data, [](const QJsonObject& object) -> std::optional<PersistedRecentFolderRecord> {
            const auto basics = RecentRecordBasics::fromJson(object);
            if (!basics)
                return std::nullopt;
            return PersistedRecentFolderRecord{basics->path, basics->displayName,
                                               basics->lastOpenedAt};
        });
}
