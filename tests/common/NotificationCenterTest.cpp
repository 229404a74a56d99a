#include "common/NotificationCenter.h"

#include <gtest/gtest.h>

TEST(NotificationCenter, DeliversByNameUntilRemovedEvenDuringDelivery) {
    constexpr NotificationName ping{"PeloraTestPing"}, other{"PeloraTestOther"};
    NotificationCenter center;
    QStringList seen;
    NotificationCenter::Token second = 0;
    // The first observer removes the second while a notification is delivered.
    const auto first = center.addObserver(ping, [&](const QVariantMap& info) {
        seen << info.value("v").toString();
        center.removeObserver(second);
    });
    second = center.addObserver(ping, [&](const QVariantMap&) { seen << "2"; });
    center.post(other, {{"v", "other"}});
    center.post(ping, {{"v", "a"}});
    center.removeObserver(first);
    center.post(ping, {{"v", "b"}});
    EXPECT_EQ(seen, QStringList{"a"});
    EXPECT_EQ(center.observerCount(ping), 0);
}
