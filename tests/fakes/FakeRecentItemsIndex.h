#pragma once

#include "platform/RecentItemsIndex.h"

#include <QMetaObject>
#include <QObject>

// An index whose results the test sets per kind. A started query finishes on the next turn of
// the event loop unless stopped first. The results are cut to the predicate's limit, as a real
// index may do.
class FakeRecentItemsIndex : public RecentItemsIndex {
public:
    QList<RecentItemsResult> documents;
    QList<RecentItemsResult> folders;
    QList<RecentItemsPredicate> predicates; // of every query made

    std::unique_ptr<RecentItemsQuery> makeQuery(const RecentItemsPredicate& predicate) override {
        predicates << predicate;
        return std::make_unique<Query>(this, predicate);
    }

private:
    class Query : public QObject, public RecentItemsQuery {
    public:
        Query(FakeRecentItemsIndex* index, RecentItemsPredicate predicate)
            : index_(index), predicate_(std::move(predicate)) {}
        void start(FinishedGathering onFinished) override {
            onFinished_ = std::move(onFinished);
            const int generation = ++generation_;
            QMetaObject::invokeMethod(
                this, [this, generation] { finish(generation); }, Qt::QueuedConnection);
        }
        void stop() override { onFinished_ = nullptr; }
        bool isGathering() const override { return bool(onFinished_); }

    private:
        void finish(int generation) {
            if (!onFinished_ || generation != generation_)
                return;
            QList<RecentItemsResult> results =
                predicate_.kind == RecentItemKind::folder ? index_->folders : index_->documents;
            if (predicate_.resultLimit > 0 && results.size() > predicate_.resultLimit)
                results.resize(predicate_.resultLimit);
            FinishedGathering onFinished = std::exchange(onFinished_, nullptr);
            onFinished(results); // may destroy this query
        }

        FakeRecentItemsIndex* index_;
        RecentItemsPredicate predicate_;
        FinishedGathering onFinished_;
        int generation_ = 0;
    };
};
