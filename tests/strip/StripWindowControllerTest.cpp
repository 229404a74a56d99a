#include "strip/StripWindowController.h"
#include "StripTestServices.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class StripWindowTest : public ::testing::Test, protected StripTestServices {
protected:
    ~StripWindowTest() override { drainEvents(); }
    void setOrientation(const char* orientation, QSize size) {
        stripOrientationKey.write(*fakes.defaults, QString::fromLatin1(orientation));
        ASSERT_TRUE(waitUntil([&] { return controller->window()->size() == size; }));
    }
};
} // namespace

TEST_F(StripWindowTest, ANewWindowGoesToTheStoredOriginKeptWholeOnTheScreenItOverlapsMost) {
    // A second screen to the right, with a panel at its bottom.
    // Screens in Qt's coordinates: a 900-high main screen with a 25-high bar at its top. The
    // stored frames count from its bottom-left corner, y upward.
    fakes.screens->list = {{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)},
                           {QRectF(1440, -180, 1920, 1080), QRectF(1440, -180, 1920, 1040)}};
    const QRectF defaultPlace(1396, 342.5, 32, 240); // 12 in from the right, centred
    const struct {
        QVariant stored;
        QSizeF size;
        QRectF expected;
    } cases[] = {
        {"nonsense", {32, 240}, defaultPlace},
        {"{{100, 100}, {32, 0.5}}", {32, 240}, defaultPlace},
        {42, {32, 240}, defaultPlace},
        // Only the origin (the bottom-left corner) counts; the size is the content's.
        {"{{200.5, 100}, {1, 1}}", {32, 240}, QRectF(200.5, 560, 32, 240)},
        // Mostly on the second screen: pulled wholly onto it, above its panel.
        {"{{1430, 10}, {32, 240}}", {32, 240}, QRectF(1440, 620, 32, 240)},
        // Equal overlap: the earlier screen wins.
        {"{{1424, 500}, {32, 240}}", {32, 240}, QRectF(1408, 160, 32, 240)},
        // On a monitor that is gone: back on the main screen, fully visible.
        {"{{5000, -700}, {32, 240}}", {32, 240}, QRectF(1408, 660, 32, 240)},
        {"{{-3000, 2000}, {32, 240}}", {240, 32}, QRectF(0, 25, 240, 32)},
    };
    for (const auto& c : cases) {
        fakes.defaults->removeObject(stripWindowFrameKey.key());
        if (c.stored.isValid())
            fakes.defaults->setObject(stripWindowFrameKey.key(), c.stored);
        EXPECT_EQ(controller->placement().initialFrame(c.size), c.expected)
            << qPrintable(c.stored.toString());
        // A value that cannot be used stays for the next store to overwrite.
        EXPECT_EQ(fakes.defaults->objectForKey(stripWindowFrameKey.key()).value_or(QVariant()),
                  c.stored);
    }
    fakes.screens->list.clear();
    EXPECT_EQ(controller->placement().initialFrame({32, 240}), QRectF(0, 0, 32, 240));
}

TEST_F(StripWindowTest, MenusPopUpBesideTheirButton) {
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::folders), QPointF(0, 0)); // no strip
    controller->showStrip();
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::tasks), QPointF(0, 0));
    // Beside a vertical strip: tests/e2e/test_strip.sh. Below a horizontal one:
    setOrientation("horizontal", QSize(240, 32));
    controller->window()->move(1000, 100);
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::folders), QPointF(1080, 116));
    EXPECT_EQ(controller->moduleMenuLocation(StripModule::clipboard), QPointF(1149, 116));
}

TEST_F(StripWindowTest, WithoutACompositorTheWindowIsOpaqueAndShaped) {
    fakes.windowDecorations->compositing = false;
    controller->showStrip();
    EXPECT_FALSE(controller->window()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(controller->window()->mask().contains(QPoint(0, 0))); // a rounded corner
    EXPECT_TRUE(controller->window()->mask().contains(QPoint(16, 0)));
}

// The settings button and a drag the window manager takes are checked through the real program
// (tests/e2e/test_strip.sh); a drag it declines moves the window by itself.
TEST_F(StripWindowTest, ADragTheWindowManagerDeclinesMovesTheWindowItself) {
    controller->showStrip();
    QWidget* handle = controller->contentView()->dragHandle();
    const QPoint press = handle->mapToGlobal(QPoint(14, 11)); // offered, to stay under the pointer
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(14, 11));
    EXPECT_TRUE(fakes.windowDecorations->moveStarts.isEmpty()); // never on the press itself
    QTest::mouseMove(handle, QPoint(44, 11));
    EXPECT_EQ(fakes.windowDecorations->moveStarts, QList<QPoint>{press});
    EXPECT_EQ(controller->window()->pos(), QPoint(1426, 342));
}

// The window manager moved the strip (Qt is told later, or not at all): hiding it keeps the place.
TEST_F(StripWindowTest, HidingTheStripStoresWhereItIsAndShowingBringsItBack) {
    controller->showStrip();
    fakes.windowDecorations->position = QPoint(300, 200);
    controller->hideStrip();
    EXPECT_EQ(fakes.defaults->objectForKey(stripWindowFrameKey.key()).value_or(QVariant()),
              QVariant(QStringLiteral("{{300, 460}, {32, 240}}")));
    fakes.windowDecorations->position.reset();
    controller->showStrip();
    EXPECT_EQ(controller->window()->pos(), QPoint(300, 200));
}

TEST_F(StripWindowTest, TheIndexIsReadOnceStartUpIsOverForTheFoldersAndTheDocuments) {
    const auto& asked = fakes.recentItemsIndex->predicates;
    controller->startServices();
    controller->startServices();  // at launch it runs twice
    EXPECT_TRUE(asked.isEmpty()); // nothing competes with the start-up
    ASSERT_TRUE(waitUntil([&] { return asked.size() == 2; }));
    EXPECT_EQ(asked[0].kind, RecentItemKind::folder);
    EXPECT_EQ(asked[1].kind, RecentItemKind::document);
}

TEST_F(StripWindowTest, AModuleMenuNeverOpensOverAnotherAndItsShortcutClosesIt) {
    auto visibleMenus = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += qobject_cast<QMenu*>(widget) && widget->isVisible();
        return count;
    };
    auto opened = [&](StripModule module) {
        return waitUntil([&] {
            QMenu* menu = controller->openModuleMenu();
            return menu && menu->isVisible() && visibleMenus() == 1 &&
                   menu->title() == controller->menuForModule(module)->title();
        });
    };
    controller->showStrip();
    controller->popUpModuleMenu(StripModule::folders, false);
    ASSERT_TRUE(opened(StripModule::folders));
    QPointer<QMenu> first = controller->openModuleMenu();
    // The command twice, then another module's shortcut: one menu each time.
    controller->popUpModuleMenu(StripModule::folders, false);
    controller->popUpModuleMenu(StripModule::documents, true);
    EXPECT_TRUE(waitUntil([&] { return !first; }));
    EXPECT_TRUE(opened(StripModule::documents));
    // The same shortcut again closes its menu.
    controller->popUpModuleMenu(StripModule::documents, true);
    EXPECT_TRUE(waitUntil([&] { return visibleMenus() == 0; }));
    // Without the strip, at the pointer; still one at a time.
    controller->hideStrip();
    controller->popUpModuleMenu(StripModule::folders, false);
    controller->popUpModuleMenu(StripModule::folders, false);
    EXPECT_TRUE(opened(StripModule::folders));
}
