#pragma once

#include "history/RecentAppItem.h"
#include "platform/PeloraIdentity.h"
#include "platform/RunningApplications.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <optional>

class Bundle;
class RunningApplications;
class UserDefaults;
class Workspace;

// The stored facts of one application's last activation.
struct PersistedActivationRecord {
    std::optional<QString> bundleIdentifier;
    QString bundlePath;
    QString displayName;
    QDateTime lastActivatedAt;

    friend bool operator==(const PersistedActivationRecord&,
                           const PersistedActivationRecord&) = default;
};

// Watches which application comes to the front and remembers, per application, when that last
// happened: the recent-applications list and the order of the open-applications menu. The
// history is stored as JSON in the user defaults after every activation. Main thread.
class RunningApplicationsHistoryService : public QObject {
    Q_OBJECT
public:
    // The JSON object of persisted records, keyed by application key.
    static inline const DefaultsKey<QByteArray> activationRecordsKey{
        "PeloraRecentApplicationActivationRecords", QByteArray()};

    // Loads the stored history.
    explicit RunningApplicationsHistoryService(Bundle& bundle, UserDefaults& defaults,
                                               RunningApplications& runningApplications,
                                               Workspace& workspace);

    // Records the frontmost application and from then on every activation. Calling it again
    // does nothing.
    void start();
    bool isStarted() const { return activationObserver_.has_value(); }

    // At most limit applications, newest first, leaving out the program itself, the given
    // bundle identifier and applications whose bundle no longer exists.
    QList<RecentAppItem>
    recentApplications(int limit, const std::optional<QString>& excludingBundleIdentifier);
    // When the application last came to the front while the history watched, if known.
    std::optional<QDateTime> lastActivationDate(const RunningApplication& app) const;

    // The program's own activations are not recorded.
    void recordActivation(const RunningApplication& app);
    void saveRecords();

    const QHash<QString, PersistedActivationRecord>& persistedRecords() const {
        return persistedRecords_;
    }
    // Forgets the persisted records and removes them from the defaults; the activation dates
    // that order the open-applications menu stay.
    void clearHistory();

    // Bundle identifier, else bundle path, else the window list's handle, else localized name;
    // none when all are absent.
    static std::optional<QString> applicationKey(const RunningApplication& app);

    // Where "now" comes from; tests pin it.
    void setClock(std::function<QDateTime()> clock) { now_ = std::move(clock); }

private:
    void loadRecords();

    UserDefaults& defaults_;
    RunningApplications& runningApplications_;
    Workspace& workspace_;
    std::optional<QMetaObject::Connection> activationObserver_;
    QHash<QString, QDateTime> lastActivationDates_;
    QHash<QString, PersistedActivationRecord> persistedRecords_;
    std::function<QDateTime()> now_;
    // For what was stored of the program by a release that recorded it.
    PeloraIdentity identity_;
};
