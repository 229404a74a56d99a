#include "app/PeloraApp.h"
#include "app/PeloraCommands.h"
#include "app/PeloraInstanceCommands.h"
#include "app/PeloraStatusItemController.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/StripVisibility.h"
#include "common/WebPages.h"
#include "composition/PeloraServices.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The whole program over fakes, installed where it belongs.
class AppTest : public ::testing::Test {
protected:
    AppTest() { fakes.bundle->path = QStringLiteral("/Applications/Pelora.app"); }
    ~AppTest() override { drainEvents(); }
    FakePlatform fakes;
    std::unique_ptr<PeloraServices> services = std::make_unique<PeloraServices>(fakes.platform());
    std::unique_ptr<PeloraApp> app;

    PeloraApp& start() {
        app = std::make_unique<PeloraApp>(*services);
        return *app;
    }
    QMainWindow* settingsWindow() { return services->settings.existingSettingsWindow(); }
    // Opens the tray menu as a click on the icon does, and closes it again.
    QMenu& openTrayMenu() {
        QMenu& menu = app->statusItemController().menu();
        menu.popup(QPoint(200, 200));
        drainEvents();
        menu.hide();
        return menu;
    }
};
} // namespace

TEST_F(AppTest, OutsideTheApplicationsFoldersNothingStartsAndNothingIsStored) {
    fakes.bundle->path = QStringLiteral("/home/ada/Downloads/Pelora.app");
    EXPECT_FALSE(start().appDelegate().applicationWillFinishLaunching()) << "the program ends";
    EXPECT_EQ(fakes.dialogs->alerts.size(), 1);
    EXPECT_EQ(app->stripController()->window(), nullptr);
    EXPECT_FALSE(services->clipboard.isStarted());
    EXPECT_TRUE(fakes.defaults->allKeys().isEmpty());
}

TEST_F(AppTest, AHiddenStripStaysAwayWhileTheServicesRunAndASecondStartOpensTheSettings) {
    stripVisibleKey.write(*fakes.defaults, false);
    EXPECT_TRUE(start().appDelegate().applicationWillFinishLaunching());
    EXPECT_EQ(app->stripController()->window(), nullptr);
    EXPECT_TRUE(services->clipboard.isStarted());
    openTrayMenu();
    EXPECT_EQ(app->stripController()->window(), nullptr) << "the tray menu does not bring it";

    PeloraInstanceCommands commands(services->system.defaults(), services->versionCheck,
                                    *app->stripController(), app->statusItemController());
    commands.activate();
    ASSERT_NE(settingsWindow(), nullptr);
    EXPECT_TRUE(settingsWindow()->isVisible());
    EXPECT_EQ(app->stripController()->window(), nullptr);
}

TEST_F(AppTest, TheLaunchCheckRunsOnlyWhenAutomaticChecksAreOn) {
    if (!isReservedExampleHost(makerWebHost()))
        GTEST_SKIP() << "built for a real web host";
    QList<bool> finishedByUser;
    QObject::connect(
        &services->versionCheck, &VersionCheckService::checkFinished,
        [&](const VersionCheckResult& result) { finishedByUser << result.requestedByUser; });
    for (const bool automatic : {true, false}) {
        services->updatePreferences.setAutoCheckForUpdates(automatic);
        finishedByUser.clear();
        start().appDelegate().applicationDidFinishLaunching();
        // A check asked for afterwards ends after the launch check would have.
        services->versionCheck.checkForUpdates(true);
        ASSERT_TRUE(waitUntil([&] { return finishedByUser.contains(true); }));
        EXPECT_EQ(finishedByUser, automatic ? QList<bool>({false, true}) : QList<bool>{true});
    }
}

// About, Check for Updates and the web pages from the menus are checked through the real
// program (tests/e2e/test_program.sh); the Settings entry and Ctrl+? are not.
TEST_F(AppTest, TheMenusSettingsEntryAndCtrlQuestionMarkReachWhatTheyName) {
    start();
    services->settings.openSettingsWindow();
    QMainWindow* window = settingsWindow();
    ASSERT_NE(window, nullptr);
    window->close();
    EXPECT_TRUE(PeloraCommands::trigger(*window->menuBar(), QStringLiteral("menu.settings")));
    EXPECT_TRUE(window->isVisible());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Question, Qt::ControlModifier);
    EXPECT_EQ(fakes.workspace->openedURLs,
              QList<QUrl>{QUrl(QStringLiteral("https://" PELORA_WEB_HOST "/support/"))});
}

TEST_F(AppTest, TheTrayGlyphTakesThePanelsColourElseThePalettesAndStaysSharp) {
    std::optional<QColor> panel = QColor(Qt::white);
    PeloraStatusItemController controller(
        services->system.defaults(), services->settings, services->about,
        std::make_shared<StripWindowController>(services->system, services->strip()),
        [&panel] { return panel; });
    // The colours of the fully covered pixels, and how many there are.
    auto inked = [&](qreal density = 1.0) {
        const QIcon icon = controller.statusItem().icon();
        const QImage image =
            icon.pixmap(QSize(22, 22), density).toImage().convertToFormat(QImage::Format_ARGB32);
        std::pair<QSet<QRgb>, int> ink;
        for (int i = 0; i < image.width() * image.height(); ++i)
            if (const QRgb p = image.pixel(i % image.width(), i / image.width()); qAlpha(p) == 255)
                ink.first.insert(p), ++ink.second;
        return ink;
    };
    EXPECT_EQ(inked().first, QSet<QRgb>{qRgb(255, 255, 255)});
    // At twice the density it is drawn anew from the vector, not blown up.
    EXPECT_GT(inked(2.0).second, 3 * inked().second);
    // A tray that says nothing: the palette's text colour, which a theme switch changes,
    // outlined so that it shows on a black bar (swaybar's) as on a white one.
    panel.reset();
    const QPalette before = QGuiApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::WindowText, QColor(40, 40, 140));
    QApplication::setPalette(dark);
    drainEvents();
    const auto recoloured = inked().first;
    for (const QColor bar : {QColor(Qt::black), QColor(Qt::white)}) {
        QImage shown(22, 22, QImage::Format_ARGB32);
        shown.fill(bar);
        QPainter(&shown).drawPixmap(0, 0, controller.statusItem().icon().pixmap(22, 22));
        int standingOut = 0;
        for (int i = 0; i < 22 * 22; ++i)
            standingOut +=
                std::abs(shown.pixelColor(i % 22, i / 22).lightness() - bar.lightness()) > 100;
        EXPECT_GT(standingOut, 20) << bar.name().toStdString();
    }
    QApplication::setPalette(before);
    EXPECT_TRUE(recoloured.contains(qRgb(40, 40, 140)));
}
