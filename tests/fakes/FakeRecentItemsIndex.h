#pragma once

#include "platform/RecentItemsIndex.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

// An index whose results the test sets per kind. A started query finishes on the next turn of
// the event loop, or only when the test calls finishGathering() if autoFinish is off. The
// results are cut to the predicate's limit, as a real index may do.
class FakeRecentItemsIndex : public RecentItemsIndex {
public:
    QList<RecentItemsResult> documents;
    QList<RecentItemsResult> folders;
    bool autoFinish = true;
    QList<RecentItemsPredicate> predicates; // of every query made
    int starts = 0;
    int stops = 0;

    std::unique_ptr<RecentItemsQuery> makeQuery(const RecentItemsPredicate& predicate) override {
        predicates << predicate;
        auto query = std::make_unique<Query>(this, predicate);
        return query;
    }

    // Finishes every query that is gathering; how many there were.
    int finishGathering() {
        int finished = 0;
        const QList<QPointer<Query>> gathering = live_;
        for (const QPointer<Query>& q : gathering)
            if (q && q->isGathering()) {
                q->finish();
                ++finished;
            }
        return finished;
    }

    int gatheringCount() const {
        int n = 0;
        for (const QPointer<Query>& q : live_)
            n += (q && q->isGathering()) ? 1 : 0;
        return n;
    }

private:
    class Query : public QObject, public RecentItemsQuery {
    public:
        Query(FakeRecentItemsIndex* index, RecentItemsPredicate predicate)
            : index_(index), predicate_(std::move(predicate)) {
            index_->live_ << QPointer<Query>(this);
        }
        void start(FinishedGathering onFinished) override {
            ++index_->starts;
            onFinished_ = std::move(onFinished);
            gathering_ = true;
            const int generation = ++generation_;
            if (index_->autoFinish)
                QMetaObject::invokeMethod(
                    this,
                    [this, generation] {
                        if (gathering_ && generation == generation_)
                            finish();
                    },
                    Qt::QueuedConnection);
        }
        void stop() override {
            if (gathering_)
                ++index_->stops;
            gathering_ = false;
            onFinished_ = nullptr;
        }
        bool isGathering() const override { return gathering_; }

        void finish() {
            QList<RecentItemsResult> results =
                predicate_.kind == RecentItemKind::folder ? index_->folders : index_->documents;
            if (predicate_.resultLimit > 0 && results.size() > predicate_.resultLimit)
                results.resize(predicate_.resultLimit);
            gathering_ = false;
            FinishedGathering onFinished = std::move(onFinished_);
            onFinished_ = nullptr;
            if (onFinished)
                onFinished(results); // may destroy this query
        }

    private:
        FakeRecentItemsIndex* index_;
        RecentItemsPredicate predicate_;
        FinishedGathering onFinished_;
        bool gathering_ = false;
        int generation_ = 0;
    };

    QList<QPointer<Query>> live_;
};
