#include "common/MenuTypeAhead.h"
#include "common/MenuPopup.h"
#include "support/TestSupport.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// A menu as the module menus have them: a disabled header, a mnemonic, a separator, accents.
std::unique_ptr<QMenu> typedMenu() {
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("Gallery"))->setEnabled(false);
    menu->addAction(QStringLiteral("Alpha"));
    menu->addAction(QStringLiteral("&Beta"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Gamma"));
    menu->addAction(QStringLiteral("Gâteau"));
    menu->addAction(QStringLiteral("Zebra"))->setEnabled(false);
    menu->addAction(QStringLiteral("Yak"));
    enableMenuTypeAhead(*menu);
    menu->popup(QPoint(0, 0));
    return menu;
}

QString activeTitle(const QMenu& menu) {
    return menu.activeAction() ? menu.activeAction()->text() : QString();
}
} // namespace

TEST(MenuTypeAhead, TypedPrefixesSelectTheNextChoosableEntryIgnoringCaseAndAccents) {
    const struct {
        const char* typed;
        const char* selected;
    } cases[] = {
        {"b", "&Beta"},    // the mnemonic marker is no character of the title
        {"g", "Gamma"},    // the disabled header is passed over
        {"ga", "Gamma"},   // a growing prefix stays where it fits
        {"gat", "Gâteau"}, // accents ignored
        {"GÂT", "Gâteau"}, // in what is typed too, and case
        {"gg", "Gâteau"},  // the same letter again steps on
        {"z", ""},         // only a disabled entry starts so
        {"yx", "Yak"},     // a prefix that fits nothing keeps the choice
    };
    for (const auto& c : cases) {
        const auto menu = typedMenu();
        QTest::keyClicks(menu.get(), QString::fromUtf8(c.typed));
        EXPECT_EQ(activeTitle(*menu), QString::fromUtf8(c.selected)) << c.typed;
    }
}

TEST(MenuTypeAhead, HomeAndEndGoToTheEndsAndSubmenusAnswerToo) {
    const auto menu = typedMenu();
    QTest::keyClick(menu.get(), Qt::Key_End);
    EXPECT_EQ(activeTitle(*menu), "Yak");
    QTest::keyClick(menu.get(), Qt::Key_Home);
    EXPECT_EQ(activeTitle(*menu), "Alpha");

    // Submenus answer too, also those added after the menu was set up.
    QMenu outer;
    enableMenuTypeAhead(outer);
    QMenu* sub = outer.addMenu(QStringLiteral("More"));
    sub->addAction(QStringLiteral("Apple"));
    sub->addAction(QStringLiteral("Banana"));
    outer.popup(QPoint(0, 0));
    sub->popup(QPoint(0, 0));
    QTest::keyClicks(sub, QStringLiteral("b"));
    EXPECT_EQ(activeTitle(*sub), "Banana");
}

// The tray menu's module menus are given to its entries, not owned by it: submenus all the same,
// each to open as a popup of the menu it opens from.
TEST(MenuPopup, FindsSubmenusByTheEntriesThatOpenThem) {
    QMenu given;
    QMenu top;
    QMenu* child = top.addMenu(QStringLiteral("Child"));
    top.addAction(QStringLiteral("Given"))->setMenu(&given);
    QMenu* nested = given.addMenu(QStringLiteral("Nested"));
    using Pair = std::pair<QMenu*, QMenu*>;
    EXPECT_EQ(submenusOf(top), (QList<Pair>{{&top, child}, {&top, &given}, {&given, nested}}));
}
