#include "history/RunningApplicationsHistoryService.h"

#include "history/HistoryOrder.h"

#include "common/Dates.h"
#include "platform/Workspace.h"

#include <QCollator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <algorithm>

namespace {

const QString kBundleIdentifier = QStringLiteral("bundleIdentifier");
const QString kBundlePath = QStringLiteral("bundlePath");
const QString kDisplayName = QStringLiteral("displayName");
const QString kLastActivatedAt = QStringLiteral("lastActivatedAt");

std::optional<PersistedActivationRecord> decodeRecord(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue identifier = object.value(kBundleIdentifier);
    const QJsonValue path = object.value(kBundlePath);
    const QJsonValue name = object.value(kDisplayName);
    const QJsonValue date = object.value(kLastActivatedAt);
    if (!path.isString() || !name.isString() || !date.isDouble())
        return std::nullopt;
    PersistedActivationRecord record;
    if (identifier.isString())
        record.bundleIdentifier = identifier.toString();
    else if (!identifier.isUndefined() && !identifier.isNull())
        return std::nullopt;
    record.bundlePath = path.toString();
    record.displayName = name.toString();
    record.lastActivatedAt = dateFromSecondsSince2001(date.toDouble());
    return record;
}

} // namespace

RunningApplicationsHistoryService::RunningApplicationsHistoryService(
    Bundle& bundle, UserDefaults& defaults, RunningApplications& runningApplications,
    Workspace& workspace)
    : defaults_(defaults), runningApplications_(runningApplications), workspace_(workspace),
      now_([] { return QDateTime::currentDateTimeUtc(); }), identity_(bundle, workspace) {
    loadRecords();
}

void RunningApplicationsHistoryService::loadRecords() {
    const QByteArray data = defaults_.dataForKey(activationRecordsKey.key());
    if (data.isEmpty())
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return;
    QHash<QString, PersistedActivationRecord> records;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        auto record = decodeRecord(it.value());
        // One bad record makes the whole value undecodable: start empty, touch nothing.
        if (!record)
            return;
        records.insert(it.key(), std::move(*record));
    }
    persistedRecords_ = std::move(records);
    for (auto it = persistedRecords_.constBegin(); it != persistedRecords_.constEnd(); ++it)
        lastActivationDates_.insert(it.key(), it->lastActivatedAt);
}

void RunningApplicationsHistoryService::start() {
    if (activationObserver_)
        return;
    RunningApplications& running = runningApplications_;
    if (auto front = running.frontmostApplication())
        recordActivation(*front);
    // The connection lives as long as this service; it ends by itself when either side goes.
    activationObserver_ = connect(&running, &RunningApplications::applicationActivated, this,
                                  [this](const RunningApplication& app) { recordActivation(app); });
}

std::optional<QString>
RunningApplicationsHistoryService::applicationKey(const RunningApplication& app) {
    if (app.bundleIdentifier)
        return *app.bundleIdentifier;
    if (app.bundleURL)
        return app.bundleURL->isLocalFile() ? app.bundleURL->toLocalFile() : app.bundleURL->path();
    // A program without a desktop entry: the window list's own key for it (its class or app id).
    if (!app.handle.isEmpty())
        return app.handle;
    if (app.localizedName)
        return *app.localizedName;
    return std::nullopt;
}

void RunningApplicationsHistoryService::recordActivation(const RunningApplication& app) {
    const auto key = applicationKey(app);
    if (!key || app.isPelora)
        return;
    if (!app.bundleURL) {
        // Dated for the order of the open-applications menu; without a bundle there is
        // nothing to launch again, so nothing is stored.
        lastActivationDates_.insert(*key, now_());
        return;
    }
    const QUrl& url = *app.bundleURL;
    const QString bundlePath = url.isLocalFile() ? url.toLocalFile() : url.path();
    const QDateTime now = now_();
    lastActivationDates_.insert(*key, now);

    PersistedActivationRecord record;
    record.bundleIdentifier = app.bundleIdentifier;
    record.bundlePath = bundlePath;
    record.displayName =
        app.localizedName ? *app.localizedName : QFileInfo(record.bundlePath).completeBaseName();
    record.lastActivatedAt = now;
    persistedRecords_.insert(*key, std::move(record));
    saveRecords();
}

void RunningApplicationsHistoryService::saveRecords() {
    QJsonObject root;
    for (auto it = persistedRecords_.constBegin(); it != persistedRecords_.constEnd(); ++it) {
        QJsonObject object;
        if (it->bundleIdentifier)
            object.insert(kBundleIdentifier, *it->bundleIdentifier);
        object.insert(kBundlePath, it->bundlePath);
        object.insert(kDisplayName, it->displayName);
        object.insert(kLastActivatedAt, secondsSince2001(it->lastActivatedAt));
        root.insert(it.key(), object);
    }
    activationRecordsKey.write(defaults_, QJsonDocument(root).toJson(QJsonDocument::Compact));
}

void RunningApplicationsHistoryService::clearHistory() {
    persistedRecords_.clear();
    defaults_.removeObject(activationRecordsKey.key());
}

QList<RecentAppItem> RunningApplicationsHistoryService::recentApplications(
    int limit, const std::optional<QString>& excludingBundleIdentifier) {
    QList<const PersistedActivationRecord*> kept;
    for (const PersistedActivationRecord& record : persistedRecords_) {
        if (excludingBundleIdentifier && record.bundleIdentifier &&
            *record.bundleIdentifier == *excludingBundleIdentifier)
            continue;
        if (!QFileInfo::exists(record.bundlePath))
            continue;
        // Records an earlier version stored of the program itself stay out of the list.
        if (identity_.isPeloraBundle(QUrl::fromLocalFile(record.bundlePath),
                                     record.bundleIdentifier))
            continue;
        kept << &record;
    }
    const QCollator collator = displayNameCollator();
    std::sort(kept.begin(), kept.end(),
              [&collator](const PersistedActivationRecord* a, const PersistedActivationRecord* b) {
                  if (a->lastActivatedAt != b->lastActivatedAt)
                      return a->lastActivatedAt > b->lastActivatedAt;
                  const int byName = collator.compare(a->displayName, b->displayName);
                  if (byName != 0)
                      return byName < 0;
                  // Only to make the order the same on every call.
                  return a->bundlePath < b->bundlePath;
              });
    const qsizetype count = std::max(0, limit);
    if (kept.size() > count)
        kept.resize(count);

    QList<RecentAppItem> items;
    items.reserve(kept.size());
    for (const PersistedActivationRecord* record : kept)
        items << RecentAppItem{QUrl::fromLocalFile(record->bundlePath), record->displayName,
                               workspace_.iconForFile(record->bundlePath)};
    return items;
}

std::optional<QDateTime>
RunningApplicationsHistoryService::lastActivationDate(const RunningApplication& app) const {
    const auto key = applicationKey(app);
    if (!key)
        return std::nullopt;
    auto it = lastActivationDates_.constFind(*key);
    if (it == lastActivationDates_.constEnd())
        return std::nullopt;
    return *it;
}
