#include "common/NotificationCenter.h"

#include <gtest/gtest.h>

TEST(NotificationCenter, DeliversByNameUntilRemovedEvenDuringDelivery) {
    constexpr NotificationName ping{"PeloraTestPing"}, other{"PeloraTestOther"};
    NotificationCenter center;
    QStringList seen;
    NotificationCenter::Token second = 0;
    // The first observer removes the second while a notification is delivered.
    const auto first = center.addObserver(ping, [&](const QVariantMap& info) {
        seen << info.value(QStringLiteral("v")).toString();
        center.removeObserver(second);
    });
    second = center.addObserver(ping, [&](const QVariantMap&) { seen << QStringLiteral("2"); });
    center.post(other, {{QStringLiteral("v"), QStringLiteral("other")}});
    center.post(ping, {{QStringLiteral("v"), QStringLiteral("a")}});
    center.removeObserver(first);
    center.post(ping, {{QStringLiteral("v"), QStringLiteral("b")}});
    EXPECT_EQ(seen, QStringList{QStringLiteral("a")});
    EXPECT_EQ(center.observerCount(ping), 0);
}
