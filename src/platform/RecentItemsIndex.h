#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// What a recent-items query looks for.
enum class RecentItemKind {
    document, // a file that is not a folder, an application or an executable
    folder,
};

struct RecentItemsPredicate {
    RecentItemKind kind = RecentItemKind::document;
    // Only items whose last-used date is at or after this moment.
    QDateTime usedSince;
    // The index may stop after this many results (0: no limit); callers cut again themselves.
    int resultLimit = 0;
};

// One item the index knows, with its last-used date (invalid when the index has none).
struct RecentItemsResult {
    QString path;
    QDateTime lastUsedDate;

    friend bool operator==(const RecentItemsResult&, const RecentItemsResult&) = default;
};

// One gathering of the index over the user's home folder, results newest first. Created,
// started, stopped and destroyed on the main thread. One-shot: a query reports once per start
// and never watches for later changes.
class RecentItemsQuery {
public:
    using FinishedGathering = std::function<void(const QList<RecentItemsResult>& results)>;

    // Destroying a query stops it.
    virtual ~RecentItemsQuery() = default;

    // Starts gathering; onFinished runs once on the main thread, later, with the results.
    // Starting a query that is gathering restarts it; only the newest start reports.
    virtual void start(FinishedGathering onFinished) = 0;
    // After this, onFinished of earlier starts never runs.
    virtual void stop() = 0;
    virtual bool isGathering() const = 0;
};

// The system's record of the documents and folders the user used lately. Main thread.
class RecentItemsIndex : public QObject {
    Q_OBJECT
public:
    ~RecentItemsIndex() override = default;

    virtual std::unique_ptr<RecentItemsQuery> makeQuery(const RecentItemsPredicate& predicate) = 0;

Q_SIGNALS:
    // The record may have changed since it was last read: a new query may find something
    // else. Watched from the first query on, so that an index nobody asks costs nothing.
    void changed();
};
