#include "strip/StripLayoutItem.h"
#include "strip/StripModule.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(StripModule, RawValuesRoundTripExactly) {
    for (StripModule m : stripModuleAllCases)
        EXPECT_EQ(stripModuleFromRawValue(rawValue(m)), m);
    for (const char* other : {"Documents", "", "documents "})
        EXPECT_FALSE(stripModuleFromRawValue(QString::fromLatin1(other))) << other;
}

TEST(StripLayout, OnlyTheExactWordHorizontalTurnsTheAnchors) {
    InMemoryUserDefaults defaults;
    const auto vertical = moduleAnchor(StripModule::clipboard, defaults);
    ASSERT_TRUE(vertical);
    stripOrientationKey.write(defaults, "horizontal");
    EXPECT_EQ(moduleAnchor(StripModule::clipboard, defaults), vertical->transposed());
    for (const QVariant& other : {QVariant("HORIZONTAL"), QVariant("diagonal"), QVariant(true),
                                  QVariant(QStringList{"horizontal"})}) {
        defaults.setObject(stripOrientationKey.key(), other);
        EXPECT_FALSE(isHorizontalOrientation(defaults)) << qPrintable(other.toString());
        EXPECT_EQ(moduleAnchor(StripModule::clipboard, defaults), vertical);
    }
}
