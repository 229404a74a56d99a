#include "strip/StripWindowController.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/RectString.h"
#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWindowDecorations.h"
#include "fakes/FakeWorkspace.h"
#include "history/RecentDocumentsService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "strip/StripContentView.h"
#include "strip/StripLayoutItem.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Observes the hooks that other parts of the program fill in.
class ObservedController : public StripWindowController {
public:
    using StripWindowController::StripWindowController;
    QList<StripModule> presented;
    void presentModuleMenu(StripModule module) override { presented << module; }
};

class StripWindowTest : public ::testing::Test {
protected:
    StripWindowTest() {
        Platform p;
        p.defaults = defaults;
        p.screens = screens;
        p.windowDecorations = decorations;
        // The services the strip starts.
        p.pasteboard = std::make_shared<FakePasteboard>();
        p.recentItemsIndex = recentIndex;
        p.runningApplications = std::make_shared<FakeRunningApplications>();
        p.workspace = std::make_shared<FakeWorkspace>();
        p.fileSystem = std::make_shared<FakeFileSystem>();
        p.bookmarks = std::make_shared<FakeBookmarkService>();
        services = std::make_unique<Services>(p);
        controller = std::make_unique<ObservedController>(*services);
    }
    ~StripWindowTest() override {
        controller.reset();
        drainEvents();
    }

    void storeFrame(const QString& value) { stripWindowFrameKey.write(*defaults, value); }
    QString storedFrame() const { return stripWindowFrameKey.read(*defaults); }
    int stripWindowCount() const {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == u"StripPanel" && w->isVisible())
                ++n;
        return n;
    }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeScreens> screens = std::make_shared<FakeScreens>();
    std::shared_ptr<FakeWindowDecorations> decorations = std::make_shared<FakeWindowDecorations>();
    std::shared_ptr<FakeRecentItemsIndex> recentIndex = std::make_shared<FakeRecentItemsIndex>();
    std::unique_ptr<Services> services;
    std::unique_ptr<ObservedController> controller;
};
} // namespace

TEST_F(StripWindowTest, DefaultPlaceIsTwelveInFromTheRightAndCentred) {
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1396, 317.5, 32, 240));
    // Absent, unparsable and zero-size values all give the default place.
    for (const QString& bad : {QString("nonsense"), QString("{{100, 100}, {0, 0}}"),
                               QString("{{100, 100}, {32, 0.5}}")}) {
        storeFrame(bad);
        EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1396, 317.5, 32, 240))
            << qPrintable(bad);
        EXPECT_EQ(storedFrame(), bad); // left for the next save to overwrite
    }
    defaults->setObject(stripWindowFrameKey.key(), 42);
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1396, 317.5, 32, 240));
    screens->list.clear();
    defaults->removeObject(stripWindowFrameKey.key());
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(0, 0, 32, 240));
}

TEST_F(StripWindowTest, StoredOriginIsKeptWholeOnTheScreenItOverlapsMost) {
    // Only the origin counts; the size is the content's.
    storeFrame("{{200.5, 100}, {1, 1}}");
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(200.5, 100, 32, 240));

    // A second screen to the right, with a panel at its bottom.
    screens->list << ScreenInfo{QRectF(1440, 0, 1920, 1080), QRectF(1440, 40, 1920, 1040)};
    // Straddling the edge, mostly on the second screen: pulled wholly onto it.
    storeFrame("{{1430, 10}, {32, 240}}");
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1440, 40, 32, 240));
    // Mostly on the main screen: pulled back onto the main screen.
    storeFrame("{{1420, 500}, {32, 240}}");
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1408, 500, 32, 240));
    EXPECT_EQ(controller->screenBestContaining(QRectF(1420, 500, 32, 240))->frame,
              QRectF(0, 0, 1440, 900));
    EXPECT_EQ(controller->screenBestContaining(QRectF(1430, 500, 32, 240))->frame,
              QRectF(1440, 0, 1920, 1080));
    // Equal overlap: the earlier screen wins.
    EXPECT_EQ(controller->screenBestContaining(QRectF(1424, 500, 32, 240))->frame,
              QRectF(0, 0, 1440, 900));

    // A monitor that is gone: back on the main screen, fully visible.
    storeFrame("{{5000, -700}, {32, 240}}");
    EXPECT_FALSE(controller->screenBestContaining(QRectF(5000, -700, 32, 240)));
    EXPECT_EQ(controller->initialStripFrame(QSizeF(32, 240)), QRectF(1408, 0, 32, 240));
    storeFrame("{{-3000, 2000}, {32, 240}}");
    EXPECT_EQ(controller->initialStripFrame(QSizeF(240, 32)), QRectF(0, 843, 240, 32));
}

TEST_F(StripWindowTest, ShowTwiceGivesOneWindowWithOneMoveObservation) {
    controller->showStrip();
    StripPanel* first = controller->window();
    ASSERT_NE(first, nullptr);
    controller->showStrip();
    EXPECT_EQ(controller->window(), first);
    EXPECT_EQ(stripWindowCount(), 1);
    EXPECT_EQ(first->size(), QSize(32, 240));
    EXPECT_EQ(decorations->prepared, QList<QWidget*>{first});
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // Placed at the default place, which is not stored until the window moves.
    EXPECT_EQ(controller->stripFrame()->topLeft(), QPointF(1396, 318));
    EXPECT_FALSE(defaults->contains(stripWindowFrameKey.key()));

    QSignalSpy writes(defaults.get(), &UserDefaults::valueChanged);
    first->move(first->pos() + QPoint(-100, 50));
    EXPECT_EQ(writes.count(), 1);
    EXPECT_EQ(storedFrame(), "{{1296, 268}, {32, 240}}");
}

TEST_F(StripWindowTest, HideStoresTheFrameAndShowComesBackThere) {
    controller->hideStrip();
    EXPECT_FALSE(defaults->contains(stripWindowFrameKey.key()));

    controller->showStrip();
    controller->window()->move(300, 200);
    defaults->removeObject(stripWindowFrameKey.key());
    controller->hideStrip();
    EXPECT_EQ(controller->window(), nullptr);
    drainEvents();
    EXPECT_EQ(stripWindowCount(), 0);
    EXPECT_EQ(storedFrame(), "{{300, 460}, {32, 240}}");

    controller->showStrip();
    EXPECT_EQ(controller->window()->pos(), QPoint(300, 200));
    EXPECT_EQ(stripWindowCount(), 1);
    controller->hideStrip();
    controller->hideStrip();
    EXPECT_EQ(storedFrame(), "{{300, 460}, {32, 240}}");
}

TEST_F(StripWindowTest, QuittingStoresTheFrameOfAShownStripOnly) {
    controller->showStrip();
    controller->window()->setGeometry(QRect(40, 50, 32, 240)); // no move observed yet below
    defaults->removeObject(stripWindowFrameKey.key());
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
    EXPECT_EQ(storedFrame(), "{{40, 610}, {32, 240}}");

    controller->hideStrip();
    defaults->removeObject(stripWindowFrameKey.key());
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
    EXPECT_FALSE(defaults->contains(stripWindowFrameKey.key()));

    // After the controller is gone, nothing is observed any more.
    controller->showStrip();
    StripPanel* panel = controller->window();
    QPointer<StripPanel> watch(panel);
    controller.reset();
    EXPECT_TRUE(watch.isNull());
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit");
    EXPECT_FALSE(defaults->contains(stripWindowFrameKey.key()));
}

TEST_F(StripWindowTest, OrientationChangeResizesTheWindowAndKeepsItOnScreen) {
    controller->showStrip();
    StripPanel* panel = controller->window();
    stripOrientationKey.write(*defaults, "horizontal");
    // The window follows its content's new size when it next lays itself out.
    ASSERT_TRUE(waitUntil([&] { return panel->size() == QSize(240, 32); }));
    // The top-left corner would stay, but 240 wide it would leave the screen at the right.
    EXPECT_EQ(controller->stripFrame(), QRectF(1200, 526, 240, 32));
    EXPECT_EQ(storedFrame(), "{{1200, 526}, {240, 32}}");

    stripOrientationKey.write(*defaults, "vertical");
    ASSERT_TRUE(waitUntil([&] { return panel->size() == QSize(32, 240); }));
    EXPECT_EQ(storedFrame(), "{{1200, 318}, {32, 240}}");

    // The window manager has the window elsewhere than Qt thinks, and does not follow a
    // request at once: the switch starts from the window manager's place, and the frame
    // asked for is the one stored, not the old place read back before the window moved.
    for (const auto& [place, target] : {std::pair{QPoint(1000, 300), QRect(1000, 300, 240, 32)},
                                        std::pair{QPoint(1396, 342), QRect(1200, 342, 240, 32)}}) {
        decorations->position = place;
        stripOrientationKey.write(*defaults, "horizontal");
        ASSERT_TRUE(waitUntil([&] { return panel->size() == QSize(240, 32); }));
        EXPECT_EQ(panel->geometry(), target);
        EXPECT_EQ(storedFrame(), rectToString(QRectF(target.x(), 900 - target.bottom() - 1,
                                                     target.width(), target.height())));
        stripOrientationKey.write(*defaults, "vertical");
        ASSERT_TRUE(waitUntil([&] { return panel->size() == QSize(32, 240); }));
    }
}

TEST_F(StripWindowTest, PressesBecomeLaterTasksAndTheSettingsButtonOpensSettings) {
    int settingsOpened = 0;
    controller->setOpenSettingsAction([&] { ++settingsOpened; });
    controller->showStrip();
    StripContentView* view = controller->contentView();
    QTest::mouseClick(view->button(StripModule::documents), Qt::LeftButton);
    QTest::mouseClick(view->button(StripModule::windows), Qt::LeftButton);
    EXPECT_TRUE(controller->presented.isEmpty()); // not from inside the press
    drainEvents();
    EXPECT_EQ(controller->presented,
              (QList<StripModule>{StripModule::documents, StripModule::windows}));

    QTest::mouseClick(view->settingsButton(), Qt::LeftButton);
    EXPECT_EQ(settingsOpened, 1);

    // A press whose task runs after the controller is gone does nothing.
    QTest::mouseClick(view->button(StripModule::folders), Qt::LeftButton);
    controller.reset();
    drainEvents();
}

TEST_F(StripWindowTest, WithoutACompositorTheWindowIsOpaqueAndShaped) {
    controller->showStrip();
    EXPECT_TRUE(controller->window()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(controller->window()->mask().isEmpty());
    controller->hideStrip();

    decorations->compositing = false;
    controller->showStrip();
    StripPanel* panel = controller->window();
    EXPECT_FALSE(panel->testAttribute(Qt::WA_TranslucentBackground));
    const QRegion shape = panel->mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(31, 239)));
    EXPECT_TRUE(shape.contains(QPoint(16, 0)));
    EXPECT_TRUE(shape.contains(QPoint(0, 120)));
    EXPECT_TRUE(shape.contains(QPoint(4, 4)));
    EXPECT_FALSE(shape.contains(QPoint(2, 2)));
    // The shape follows the new size.
    stripOrientationKey.write(*defaults, "horizontal");
    ASSERT_TRUE(waitUntil([&] { return panel->size() == QSize(240, 32); }));
    EXPECT_TRUE(panel->mask().contains(QPoint(200, 16)));
    EXPECT_FALSE(panel->mask().contains(QPoint(239, 0)));
}

TEST_F(StripWindowTest, ADragByTheHandleIsOfferedToTheWindowManagerFromThePress) {
    controller->showStrip();
    StripPanel* panel = controller->window();
    QWidget* handle = controller->contentView()->dragHandle();
    const QPoint local(14, 11);
    const QPoint press = handle->mapToGlobal(local);
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(local), QPointF(press), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &down);
    EXPECT_TRUE(decorations->moveStarts.isEmpty()); // never on the press itself
    QMouseEvent move(QEvent::MouseMove, QPointF(local + QPoint(30, 0)),
                     QPointF(press + QPoint(30, 0)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    // The manager is asked with the press position, so the grabbed point stays under the
    // pointer; this one declines, and the window follows the pointer itself.
    EXPECT_EQ(decorations->moveStarts, QList<QPoint>{press});
    EXPECT_EQ(storedFrame(), "{{1426, 318}, {32, 240}}");
    EXPECT_EQ(panel->pos(), QPoint(1426, 342));
}

TEST_F(StripWindowTest, StartingTheServicesAgainAddsNoTimerQueryOrObserver) {
    recentIndex->autoFinish = false;
    controller->startServices();
    controller->showStrip(); // starts them once more, as the launch does
    EXPECT_TRUE(services->get<ClipboardHistoryService>().isStarted());
    EXPECT_TRUE(services->get<RunningApplicationsHistoryService>().isStarted());
    // The folders and the documents query, each replaced by its second start.
    EXPECT_EQ(recentIndex->gatheringCount(), 2);
    EXPECT_EQ(
        services->notifications().observerCount(RecentDocumentsService::didUpdateNotification), 1);

    // A finished gathering refreshes the groups the documents menu shows.
    const QString file = QDir::tempPath() + QStringLiteral("/pelora-strip-recent.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    services->get<RecentDocumentsService>().recordOpened(QUrl::fromLocalFile(file));
    EXPECT_TRUE(controller->recentGroups.isEmpty());
    recentIndex->finishGathering();
    EXPECT_TRUE(waitUntil([&] { return !controller->recentGroups.isEmpty(); }));
    QFile::remove(file);

    // Once the controller is gone, an update reaches nobody.
    controller.reset();
    EXPECT_EQ(
        services->notifications().observerCount(RecentDocumentsService::didUpdateNotification), 0);
}
