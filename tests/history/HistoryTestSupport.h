#pragma once

#include "history/RecentDocumentsService.h"
#include "support/FakePlatform.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

// The fake platform around real files and folders in a temporary tree.
class HistoryTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    TempTree tree;
    const QDateTime now =
        QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);

    QString file(const QString& relative) { return tree.add(relative); }
    QString folder(const QString& relative) { return tree.add(relative + u'/'); }
    QDateTime hoursAgo(int hours) const { return now.addSecs(-3600 * hours); }
    static QUrl url(const QString& path) { return QUrl::fromLocalFile(path); }
    // Waits for the clock to move on, so that the next recording is dated later.
    static void clockMovesOn() {
        const QDateTime before = QDateTime::currentDateTimeUtc();
        ASSERT_TRUE(waitUntil([&] { return QDateTime::currentDateTimeUtc() > before; }));
    }
};

// The items' names as listed, in order; for documents those of every group.
template <class Items> QStringList displayNames(const Items& items) {
    QStringList out;
    for (const auto& item : items)
        out << item.displayName;
    return out;
}
inline QStringList displayNames(RecentDocumentsService& documents) {
    QStringList out;
    for (const auto& group : documents.currentGroups())
        out << displayNames(group.items);
    return out;
}
