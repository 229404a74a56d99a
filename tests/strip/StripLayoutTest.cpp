#include "strip/StripLayoutItem.h"
#include "strip/StripModule.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(StripModule, RawValuesRoundTripExactlyAndOnlyFiveHaveButtons) {
    ASSERT_EQ(stripModuleAllCases.size(), 8u);
    EXPECT_EQ(stripModuleAllCases.back(), StripModule::windows);
    QStringList withButtons;
    for (StripModule m : stripModuleAllCases) {
        EXPECT_EQ(stripModuleFromRawValue(rawValue(m)), m);
        if (hasButton(m))
            withButtons << rawValue(m);
    }
    EXPECT_EQ(withButtons,
              (QStringList{"documents", "folders", "applications", "clipboard", "windows"}));

    EXPECT_EQ(stripModuleFromRawValue("documents"), StripModule::documents);
    EXPECT_FALSE(stripModuleFromRawValue("Documents"));
    EXPECT_FALSE(stripModuleFromRawValue(""));
    EXPECT_FALSE(stripModuleFromRawValue("documents "));

    EXPECT_EQ(systemImageName(StripModule::windows), "square.grid.2x2");
    EXPECT_EQ(systemImageName(StripModule::tasks), "play.diamond");
    EXPECT_EQ(iconPointSize(StripModule::applications), 18);
    EXPECT_EQ(iconPointSize(StripModule::documents), 16);
}

TEST(StripLayout, SevenItemsWithDistinctIdentitiesInOrder) {
    QStringList ids;
    for (const StripLayoutItem& item : stripLayout())
        ids << id(item);
    EXPECT_EQ(ids, (QStringList{"applications", "folders", "documents", "favorites-divider",
                                "clipboard", "windows", "settings-divider"}));
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), ids.size());
    EXPECT_TRUE(stripLayout()[3].isDivider());
    EXPECT_EQ(stripLayout()[4].module(), StripModule::clipboard);
    // Every module with a button is on the strip exactly once.
    for (StripModule m : stripModuleAllCases)
        EXPECT_EQ(ids.count(rawValue(m)), hasButton(m) ? 1 : 0) << qPrintable(rawValue(m));
}

TEST(StripLayout, AnchorsFollowTheOrientationReadAnewEachTime) {
    InMemoryUserDefaults defaults;
    EXPECT_FALSE(isHorizontalOrientation(defaults));
    EXPECT_EQ(moduleAnchor(StripModule::clipboard, defaults), QPointF(16, 149));
    EXPECT_EQ(moduleAnchor(StripModule::applications, defaults), QPointF(16, 48));
    for (StripModule m : {StripModule::shortcuts, StripModule::websites, StripModule::tasks})
        EXPECT_FALSE(moduleAnchor(m, defaults));

    stripOrientationKey.write(defaults, "horizontal");
    EXPECT_TRUE(isHorizontalOrientation(defaults));
    EXPECT_EQ(moduleAnchor(StripModule::clipboard, defaults), QPointF(149, 16));
    EXPECT_EQ(moduleAnchor(StripModule::windows, defaults), QPointF(181, 16));

    for (const QVariant& other : {QVariant("HORIZONTAL"), QVariant("diagonal"), QVariant(true),
                                  QVariant(QStringList{"horizontal"})}) {
        defaults.setObject(stripOrientationKey.key(), other);
        EXPECT_FALSE(isHorizontalOrientation(defaults)) << qPrintable(other.toString());
        EXPECT_EQ(moduleAnchor(StripModule::clipboard, defaults), QPointF(16, 149));
    }
}
