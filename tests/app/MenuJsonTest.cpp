#include "common/MenuJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <gtest/gtest.h>

namespace {
QJsonObject item(const QJsonObject& menu, int index) {
    return menu.value(QLatin1String("items")).toArray().at(index).toObject();
}
} // namespace

TEST(MenuJson, DescribesWhatTheMenuShowsIncludingSubmenus) {
    QMenu menu(QStringLiteral("Recent Documents"));
    menu.addAction(QStringLiteral("Recent Documents"))->setEnabled(false);
    QMenu* editor = menu.addMenu(QStringLiteral("Text Editor"));
    editor->addAction(QStringLiteral("notes.txt"));
    editor->addAction(QStringLiteral("R&&D plan.odt"));
    QMenu* nested = editor->addMenu(QStringLiteral("&Older"));
    nested->addAction(QStringLiteral("2019.txt"));
    menu.addAction(QStringLiteral("Clear Recents"));
    menu.addSeparator();
    QAction* hidden = menu.addAction(QStringLiteral("Hidden"));
    hidden->setVisible(false);
    QAction* toggle = menu.addAction(QStringLiteral("Show Strip"));
    toggle->setCheckable(true);
    toggle->setChecked(true);
    menu.addAction(QStringLiteral("Off"))->setCheckable(true);

    const QJsonObject json = menuToJson(menu);
    EXPECT_EQ(json.value(QLatin1String("title")).toString(), QStringLiteral("Recent Documents"));
    const QJsonArray items = json.value(QLatin1String("items")).toArray();
    ASSERT_EQ(items.size(), 6); // the hidden entry is not there

    EXPECT_EQ(item(json, 0), QJsonObject({{"title", "Recent Documents"}, {"enabled", false}}));
    const QJsonObject submenu = item(json, 1).value(QLatin1String("submenu")).toObject();
    EXPECT_EQ(submenu.value(QLatin1String("title")).toString(), QStringLiteral("Text Editor"));
    // Titles read as the user reads them: "&&" is one ampersand, a mnemonic mark disappears.
    EXPECT_EQ(item(submenu, 1).value(QLatin1String("title")).toString(),
              QStringLiteral("R&D plan.odt"));
    const QJsonObject older = item(submenu, 2);
    EXPECT_EQ(older.value(QLatin1String("title")).toString(), QStringLiteral("Older"));
    EXPECT_EQ(item(older.value(QLatin1String("submenu")).toObject(), 0)
                  .value(QLatin1String("title"))
                  .toString(),
              QStringLiteral("2019.txt"));
    EXPECT_EQ(item(json, 2), QJsonObject({{"title", "Clear Recents"}, {"enabled", true}}));
    EXPECT_EQ(item(json, 3), QJsonObject({{"separator", true}}));
    EXPECT_EQ(item(json, 4).value(QLatin1String("checked")), QJsonValue(true));
    EXPECT_EQ(item(json, 5).value(QLatin1String("checked")), QJsonValue(false));
    EXPECT_FALSE(item(json, 2).contains(QLatin1String("checked")));

    EXPECT_EQ(menuJsonToText(json), QStringLiteral("Recent Documents\n"
                                                   "  Recent Documents (disabled)\n"
                                                   "  Text Editor >\n"
                                                   "    notes.txt\n"
                                                   "    R&D plan.odt\n"
                                                   "    Older >\n"
                                                   "      2019.txt\n"
                                                   "  Clear Recents\n"
                                                   "  ----\n"
                                                   "  [x] Show Strip\n"
                                                   "  [ ] Off\n"));
}

TEST(MenuJson, AMenuInsideItselfEndsAndEmptyMenusStayEmpty) {
    QMenu menu(QStringLiteral("Loop"));
    QMenu* inner = menu.addMenu(QStringLiteral("Inner"));
    inner->addAction(menu.menuAction());
    const QJsonObject json = menuToJson(menu);
    const QJsonObject innerJson = item(json, 0).value(QLatin1String("submenu")).toObject();
    EXPECT_EQ(item(innerJson, 0).value(QLatin1String("title")).toString(), QStringLiteral("Loop"));
    EXPECT_FALSE(item(innerJson, 0).contains(QLatin1String("submenu")));

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
