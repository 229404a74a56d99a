#include "common/MenuJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <gtest/gtest.h>

// Disabled items, separators and submenus show in every menu test through menuText.
TEST(MenuJson, TitlesReadAsTheUserReadsThemAndHiddenItemsAreLeftOut) {
    QMenu menu(QStringLiteral("Recent"));
    menu.addAction(QStringLiteral("Off"))->setEnabled(false);
    menu.addMenu(QStringLiteral("&Older"))->addAction(QStringLiteral("R&&D plan.odt"));
    menu.addAction(QStringLiteral("Hidden"))->setVisible(false);
    for (bool checked : {true, false}) {
        QAction* toggle = menu.addAction(QStringLiteral("Show Strip"));
        toggle->setCheckable(true);
        toggle->setChecked(checked);
    }
    const QJsonObject json = menuToJson(menu);
    EXPECT_EQ(json.value(QLatin1String("items")).toArray().first(),
              QJsonObject({{"title", "Off"}, {"enabled", false}}));
    EXPECT_EQ(menuJsonToText(json), QStringLiteral("Recent\n  Off (disabled)\n  Older >\n"
                                                   "    R&D plan.odt\n  [x] Show Strip\n"
                                                   "  [ ] Show Strip\n"));
}

TEST(MenuJson, AMenuInsideItselfEndsAndEmptyMenusStayEmpty) {
    QMenu menu(QStringLiteral("Loop"));
    menu.addMenu(QStringLiteral("Inner"))->addAction(menu.menuAction());
    EXPECT_EQ(menuJsonToText(menuToJson(menu)), QStringLiteral("Loop\n  Inner >\n    Loop\n"));
    QMenu empty;
    EXPECT_EQ(menuToJson(empty), QJsonObject({{"title", ""}, {"items", QJsonArray()}}));
    EXPECT_EQ(menuJsonToText(menuToJson(empty)), QString());
}

TEST(MenuJson, TextOfMalformedReplyPrintsWhatItCan) {
    // The reply comes from another process; odd shapes must not trip the printer.
    const QJsonObject odd = QJsonDocument::fromJson(R"({"title": 5, "items": [
        3, null, "x", {"title": "kept"}, {"submenu": []}, {"title": "deep", "submenu": {"items": 7}}
    ]})")
                                .object();
    EXPECT_EQ(menuJsonToText(odd), QStringLiteral("kept\n\ndeep >\n"));
    EXPECT_EQ(menuJsonToText(QJsonObject()), QString());
}
