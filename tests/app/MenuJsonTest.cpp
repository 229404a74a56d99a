#include "common/MenuJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <gtest/gtest.h>

TEST(MenuJson, DescribesWhatTheMenuShowsIncludingSubmenus) {
    QMenu menu(QStringLiteral("Recent Documents"));
    menu.addAction(QStringLiteral("Recent Documents"))->setEnabled(false);
    QMenu* editor = menu.addMenu(QStringLiteral("Text Editor"));
    editor->addAction(QStringLiteral("notes.txt"));
    // Titles read as the user reads them: "&&" is one ampersand, a mnemonic mark disappears.
    editor->addAction(QStringLiteral("R&&D plan.odt"));
    editor->addMenu(QStringLiteral("&Older"))->addAction(QStringLiteral("2019.txt"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Hidden"))->setVisible(false);
    QAction* toggle = menu.addAction(QStringLiteral("Show Strip"));
    toggle->setCheckable(true);
    toggle->setChecked(true);
    menu.addAction(QStringLiteral("Off"))->setCheckable(true);

    const QJsonObject json = menuToJson(menu);
    EXPECT_EQ(json.value(QLatin1String("items")).toArray().first(),
              QJsonObject({{"title", "Recent Documents"}, {"enabled", false}}));
    EXPECT_EQ(menuJsonToText(json), QStringLiteral("Recent Documents\n"
                                                   "  Recent Documents (disabled)\n"
                                                   "  Text Editor >\n"
                                                   "    notes.txt\n"
                                                   "    R&D plan.odt\n"
                                                   "    Older >\n"
                                                   "      2019.txt\n"
                                                   "  ----\n"
                                                   "  [x] Show Strip\n"
                                                   "  [ ] Off\n"));
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
