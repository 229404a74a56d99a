#include "app/PeloraApp.h"
#include "about/AboutWindow.h"
#include "about/LicenseWindow.h"
#include "app/PeloraCommands.h"
#include "app/PeloraInstanceCommands.h"
#include "app/PeloraStatusItemController.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/StripVisibility.h"
#include "common/WebPages.h"
#include "favorites/FavoritesService.h"
#include "history/RecentDocumentsService.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"
#include "support/MenuText.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

TEST(InstallationCheck, PlainPrefixOfEitherApplicationsFolder) {
    const std::pair<const char*, bool> cases[] = {
        {"/Applications/Pelora.app", true},
        {"/Applications/Tools/Pelora.app", true},
        {"/home/ada/Applications/Pelora.app", true},
        {"/home/ada/Downloads/Pelora.app", false},
        {"/home/ada/ApplicationsOld/Pelora.app", false},
        {"/home/ada/applications/Pelora.app", false},
        {"/home/bob/Applications/Pelora.app", false},
        {"/opt/Applications/Pelora.app", false},
        // Not resolved: a link into an Applications folder does not count.
        {"/home/ada/Desktop/Pelora.app", false},
    };
    for (const auto& [path, inside] : cases) {
        EXPECT_EQ(isInApplicationsFolder(path, "/home/ada"), inside) << path;
        EXPECT_EQ(isInApplicationsFolder(path, "/home/ada/"), inside) << path;
    }
    // A home reached through a link holds the same folder, either way round.
    TempTree tree{"real/Applications/Pelora.app/", "home -> real"};
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(tree.path(QStringLiteral("home"))));
    FakePlatform fakes;
    Services services(fakes.platform());
    QList<bool> inside;
    for (const char* bundle :
         {"real/Applications/Pelora.app", "home/Applications/Pelora.app", "real/Pelora.app"}) {
        fakes.bundle->path = tree.path(QLatin1String(bundle));
        inside << isInApplicationsFolder(services);
    }
    qputenv("HOME", savedHome);
    EXPECT_EQ(inside, QList<bool>({true, true, false}));
}

namespace {
// The whole program over fakes, installed where it belongs.
class AppTest : public ::testing::Test {
protected:
    AppTest() { fakes.bundle->path = QStringLiteral("/Applications/Pelora.app"); }
    ~AppTest() override { drainEvents(); }
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
    std::unique_ptr<PeloraApp> app;
    int terminations = 0;

    PeloraApp& start() {
        app = std::make_unique<PeloraApp>(*services, [this] { ++terminations; });
        return *app;
    }
    QMainWindow* settingsWindow() {
        return services->get<SettingsWindowController>().existingSettingsWindow();
    }
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
    start().appDelegate().applicationWillFinishLaunching();
    EXPECT_EQ(fakes.dialogs->alerts.size(), 1);
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(app->stripController()->window(), nullptr);
    EXPECT_FALSE(services->has<ClipboardHistoryService>());
    EXPECT_FALSE(services->has<RecentDocumentsService>());
    EXPECT_TRUE(fakes.defaults->allKeys().isEmpty());
}

TEST_F(AppTest, AHiddenStripStaysAwayWhileTheServicesRunAndASecondStartOpensTheSettings) {
    stripVisibleKey.write(*fakes.defaults, false);
    start().appDelegate().applicationWillFinishLaunching();
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(app->stripController()->window(), nullptr);
    EXPECT_TRUE(services->get<ClipboardHistoryService>().isStarted());
    openTrayMenu();
    EXPECT_EQ(app->stripController()->window(), nullptr) << "the tray menu does not bring it";

    PeloraInstanceCommands commands(*services, *app->stripController(),
                                    app->statusItemController());
    commands.activate();
    ASSERT_NE(settingsWindow(), nullptr);
    EXPECT_TRUE(settingsWindow()->isVisible());
    EXPECT_EQ(app->stripController()->window(), nullptr);
}

TEST_F(AppTest, TheLaunchCheckRunsOnlyWhenAutomaticChecksAreOn) {
    if (!isReservedExampleHost(makerWebHost()))
        GTEST_SKIP() << "built for a real web host";
    QList<bool> finishedByUser;
    services->notifications().addObserver(kVersionCheckDidFinish, [&](const QVariantMap& info) {
        finishedByUser << info.value(kRequestedByUserKey).toBool();
    });
    for (const bool automatic : {true, false}) {
        services->get<PeloraUpdatePreferences>().setAutoCheckForUpdates(automatic);
        finishedByUser.clear();
        start().appDelegate().applicationDidFinishLaunching();
        // A check asked for afterwards ends after the launch check would have.
        services->get<VersionCheckService>().checkForUpdates(true);
        ASSERT_TRUE(waitUntil([&] { return finishedByUser.contains(true); }));
        EXPECT_EQ(finishedByUser, automatic ? QList<bool>({false, true}) : QList<bool>{true});
    }
}

TEST_F(AppTest, EachTrayOpeningListsWhatChangedAndTheSubmenusAreTheStripsOwnMenus) {
    start();
    TempTree tree{"Projects/"};
    EXPECT_FALSE(menuText(openTrayMenu()).contains(QStringLiteral("Projects")));
    favoritesStore(*services, FavoritesCategory::folders).add(tree.url(QStringLiteral("Projects")));
    const QMenu& menu = openTrayMenu();
    EXPECT_TRUE(menuText(menu).contains(QStringLiteral("  Projects\n")));
    EXPECT_EQ(menu.actions().size(), 10);
    const std::pair<const char*, StripModule> modules[] = {
        {"strip.menuBar.apps", StripModule::applications},
        {"strip.menuBar.folders", StripModule::folders},
        {"strip.menuBar.documents", StripModule::documents},
        {"strip.menuBar.clipboard", StripModule::clipboard},
        {"strip.menu.openApps", StripModule::windows}};
    for (const auto& [key, module] : modules) {
        const QAction* entry = menu.findChild<QAction*>(QLatin1String(key));
        ASSERT_TRUE(entry && entry->menu()) << key;
        EXPECT_EQ(menuText(*entry->menu()),
                  menuText(*app->stripController()->menuForModule(module)))
            << key;
    }
}

TEST_F(AppTest, TheMainMenuAndTheTraysAboutReachWhatTheyName) {
    start();
    services->get<SettingsWindowController>().openSettingsWindow();
    QMainWindow* window = settingsWindow();
    window->close();
    QMenuBar& bar = *window->menuBar();
    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("menu.settings")));
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("help.license")));
    drainEvents();
    ASSERT_NE(services->get<LicenseWindowKeeper>().window(), nullptr);
    EXPECT_TRUE(services->get<LicenseWindowKeeper>().window()->isVisible());

    // The product has one help page, its support page; the site is the root.
    for (const char* key : {"help.app", "help.support", "help.site"})
        EXPECT_TRUE(PeloraCommands::trigger(bar, QLatin1String(key))) << key;
    const QUrl support(QStringLiteral("https://" PELORA_WEB_HOST "/support/"));
    EXPECT_EQ(fakes.workspace->openedURLs,
              QList<QUrl>({support, support, QUrl("https://" PELORA_WEB_HOST "/")}));
    // Ctrl+? from the active window.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Question, Qt::ControlModifier);
    EXPECT_EQ(fakes.workspace->openedURLs.size(), 4);
    EXPECT_EQ(fakes.workspace->openedURLs.last(), support);

    const QMenu& tray = openTrayMenu();
    tray.findChild<QAction*>(QStringLiteral("menu.about"))->trigger();
    auto& about = services->get<AboutWindowKeeper>();
    ASSERT_TRUE(
        waitUntil([&] { return about.existingWindow() && about.existingWindow()->isVisible(); }));
}

TEST(MainMenu, CommandsReachTheirHandlersAndThoseWithoutOneAreDisabled) {
    FakePlatform fakes;
    Services services(fakes.platform());
    QStringList calls;
    QMenuBar full;
    PeloraCommands(services, {[&] { calls << QStringLiteral("about"); },
                              [&](bool byUser) { calls << QStringLiteral("check:%1").arg(byUser); },
                              [&] { calls << QStringLiteral("settings"); },
                              [&] {
                                  calls << QStringLiteral("quit");
                              }})
        .fillMenuBar(full);
    for (const char* key : {"menu.about", "menu.checkUpdates", "menu.settings", "menu.quit"})
        EXPECT_TRUE(PeloraCommands::trigger(full, QLatin1String(key))) << key;
    // The update check runs as one the user asked for.
    EXPECT_EQ(calls, QStringList({"about", "check:1", "settings", "quit"}));
    EXPECT_FALSE(PeloraCommands::trigger(full, QStringLiteral("menu.help"))) << "a menu";

    QMenuBar bare;
    PeloraCommands(services).fillMenuBar(bare);
    for (const char* key : {"menu.checkUpdates", "menu.settings"})
        EXPECT_FALSE(PeloraCommands::trigger(bare, QLatin1String(key))) << key;
    ASSERT_TRUE(PeloraCommands::trigger(bare, QStringLiteral("menu.about")));
    drainEvents();
    ASSERT_NE(services.get<AboutWindowKeeper>().existingWindow(), nullptr);
}

TEST_F(AppTest, TheTrayGlyphTakesThePanelsColourElseThePalettesAndStaysSharp) {
    std::optional<QColor> panel = QColor(Qt::white);
    auto strip = std::make_shared<StripWindowController>(*services);
    PeloraStatusItemController controller(*services, strip, [&panel] { return panel; });
    // The colours of the fully covered pixels, and how many there are.
    auto inked = [&](qreal density = 1.0) {
        const QImage image = controller.statusItem()
                                 .icon()
                                 .pixmap(QSize(22, 22), density)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> colors;
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255) {
                    colors.insert(image.pixel(x, y));
                    ++count;
                }
        return std::pair(colors, count);
    };
    EXPECT_EQ(inked().first, QSet<QRgb>{qRgb(255, 255, 255)});
    EXPECT_GT(inked().second, 20);
    // At twice the density it is drawn anew from the vector: more than four times the ink
    // would be a picture blown up, less than three a blurred one.
    EXPECT_GT(inked(2.0).second, 3 * inked().second);

    // A tray that says nothing: the palette's text colour; a theme switch recolours it.
    panel.reset();
    const QPalette before = QGuiApplication::palette();
    EXPECT_EQ(inked().first,
              QSet<QRgb>{before.color(QPalette::Active, QPalette::WindowText).rgb()});
    QPalette dark = before;
    dark.setColor(QPalette::WindowText, QColor(230, 230, 10));
    QApplication::setPalette(dark);
    drainEvents();
    const auto recoloured = inked().first;
    QApplication::setPalette(before);
    EXPECT_EQ(recoloured, QSet<QRgb>{qRgb(230, 230, 10)});
}
