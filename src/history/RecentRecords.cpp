#include "history/RecentRecords.h"

#include "history/HistoryJson.h"

namespace {
const QLatin1String kPath("path");
const QLatin1String kDisplayName("displayName");
const QLatin1String kLastOpenedAt("lastOpenedAt");
} // namespace

QJsonObject RecentRecordBasics::toJson() const {
    return {{kPath, path},
            {kDisplayName, displayName},
            {kLastOpenedAt, historyjson::dateValue(lastOpenedAt)}};
}

std::optional<RecentRecordBasics> RecentRecordBasics::fromJson(const QJsonObject& object) {
    auto path = historyjson::requiredString(object, kPath);
    auto displayName = historyjson::requiredString(object, kDisplayName);
    auto lastOpenedAt = historyjson::requiredDate(object, kLastOpenedAt);
    if (!path || !displayName || !lastOpenedAt)
        return std::nullopt;
    return RecentRecordBasics{*path, *displayName, *lastOpenedAt};
}

void stopQuery(std::unique_ptr<RecentItemsQuery>& query) {
    if (!query)
        return;
    query->stop();
    query.reset();
}

void restartQuery(std::unique_ptr<RecentItemsQuery>& query, RecentItemsIndex& index,
                  const RecentItemsPredicate& predicate, RecentItemsQuery::FinishedGathering done) {
    stopQuery(query);
    query = index.makeQuery(predicate);
    query->start(std::move(done));
}
