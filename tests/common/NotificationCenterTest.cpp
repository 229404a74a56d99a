#include "common/NotificationCenter.h"
#include "common/Services.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace {
constexpr NotificationName kPing{"PeloraTestPing"};
constexpr NotificationName kOther{"PeloraTestOther"};
} // namespace

TEST(NotificationCenter, DeliversByNameAndStopsAfterRemoval) {
    NotificationCenter center;
    QStringList seen;
    auto token = center.addObserver(kPing, [&](const QVariantMap& info) {
        seen << info.value(QStringLiteral("v")).toString();
    });
    center.post(kOther, {{QStringLiteral("v"), QStringLiteral("other")}});
    center.post(kPing, {{QStringLiteral("v"), QStringLiteral("a")}});
    center.removeObserver(token);
    center.post(kPing, {{QStringLiteral("v"), QStringLiteral("b")}});
    EXPECT_EQ(seen, QStringList{QStringLiteral("a")});
    EXPECT_EQ(center.observerCount(kPing), 0);
}

TEST(NotificationCenter, ObserverRemovingAnotherDuringDeliveryIsSafe) {
    NotificationCenter center;
    int secondCalls = 0;
    NotificationCenter::Token second = 0;
    center.addObserver(kPing, [&](const QVariantMap&) { center.removeObserver(second); });
    second = center.addObserver(kPing, [&](const QVariantMap&) { ++secondCalls; });
    center.post(kPing);
    center.post(kPing);
    EXPECT_EQ(secondCalls, 0);
}

namespace {
struct Counter {
    explicit Counter(Services&) { ++made; }
    static inline int made = 0;
};
struct PerVariant {
    PerVariant(Services&, int v) : variant(v) {}
    int variant;
};
} // namespace

TEST(Services, CreatesEachServiceOnceOnFirstUse) {
    Platform platform;
    platform.defaults = std::make_shared<InMemoryUserDefaults>();
    Services services(platform);
    Counter::made = 0;
    EXPECT_FALSE(services.has<Counter>());
    Counter* a = &services.get<Counter>();
    Counter* b = &services.get<Counter>();
    EXPECT_EQ(a, b);
    EXPECT_EQ(Counter::made, 1);
    EXPECT_EQ(services.get<PerVariant>(2).variant, 2);
    EXPECT_NE(&services.get<PerVariant>(1), &services.get<PerVariant>(2));
}
