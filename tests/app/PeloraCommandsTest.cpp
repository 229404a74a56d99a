#include "app/PeloraCommands.h"
#include "about/AboutWindow.h"
#include "about/LicenseWindow.h"
#include "common/Texts.h"
#include "support/FakePlatform.h"
#include "support/MenuText.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PeloraCommandsTest : public ::testing::Test {
protected:
    ~PeloraCommandsTest() override {
        window.reset();
        services.reset();
        drainEvents();
    }

    // A window carrying the main menu, as the settings window does.
    QMenuBar& menuBarWith(PeloraCommandHandlers handlers) {
        window = std::make_unique<QMainWindow>();
        PeloraCommands(*services, std::move(handlers)).fillMenuBar(*window->menuBar());
        return *window->menuBar();
    }
    static QAction* action(QMenuBar& bar, const char* key) {
        return bar.findChild<QAction*>(QLatin1String(key));
    }

    FakePlatform fakes;
    std::shared_ptr<FakeWorkspace> workspace = fakes.workspace;
    std::unique_ptr<Services> services = fakes.makeServices();
    std::unique_ptr<QMainWindow> window;
};

} // namespace

TEST_F(PeloraCommandsTest, MenusHoldTheCommandsInOrderWithTheirTextsIconsAndShortcuts) {
    fakes.bundle->info[QStringLiteral("CFBundleDisplayName")] = QStringLiteral("Pelora");
    QMenuBar& bar = menuBarWith({[] {}, [](bool) {}, [] {},
                                 [] {
                                 }});
    const QList<QAction*> top = bar.actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&Pelora"));
    EXPECT_EQ(top[1]->text(), u'&' + L("menu.help"));
    auto lines = [](std::initializer_list<const char*> keys) {
        QString text;
        for (const char* key : keys)
            text += (*key == '-' ? QStringLiteral("----") : L(key)) + u'\n';
        return text;
    };
    EXPECT_EQ(menuText(*top[0]->menu()),
              lines({"menu.about", "menu.checkUpdates", "-", "menu.settings", "-", "menu.quit"}));
    EXPECT_EQ(menuText(*top[1]->menu()),
              lines({"help.app", "help.support", "-", "help.license", "-", "help.site"}));
    for (const QString& key : PeloraCommands::commandKeys()) {
        const QAction* a = action(bar, key.toUtf8().constData());
        ASSERT_NE(a, nullptr) << key.toStdString();
        EXPECT_NE(a->text(), key) << "no text";
        EXPECT_TRUE(a->icon().isNull() == (key == u"menu.quit")) << key.toStdString();
    }
    EXPECT_EQ(action(bar, "menu.settings")->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
    EXPECT_EQ(action(bar, "help.app")->shortcut(), QKeySequence(QStringLiteral("Ctrl+?")));
    EXPECT_EQ(action(bar, "menu.quit")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

TEST_F(PeloraCommandsTest, HelpAndSupportOpenTheSameSupportPageAndSiteTheRoot) {
    QMenuBar& bar = menuBarWith({});
    action(bar, "help.app")->trigger();
    action(bar, "help.support")->trigger();
    action(bar, "help.site")->trigger();
    ASSERT_EQ(workspace->openedURLs.size(), 3);
    const QUrl support = workspace->openedURLs[0];
    EXPECT_EQ(workspace->openedURLs[1], support);
    EXPECT_EQ(support.scheme(), QStringLiteral("https"));
    EXPECT_EQ(support.host(), QStringLiteral(PELORA_WEB_HOST));
    EXPECT_EQ(support.path(), QStringLiteral("/support/"));
    EXPECT_EQ(workspace->openedURLs[2], QUrl(QStringLiteral("https://" PELORA_WEB_HOST "/")));

    // The browser's answer changes nothing.
    workspace->openSucceeds = false;
    EXPECT_TRUE(PeloraCommands(*services).perform(QStringLiteral("help.support")));
    EXPECT_EQ(workspace->openedURLs.last(), support);
}

TEST_F(PeloraCommandsTest, ControlQuestionMarkOpensTheSupportPageFromTheActiveWindow) {
    menuBarWith({});
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Question, Qt::ControlModifier);
    EXPECT_EQ(workspace->openedURLs,
              QList<QUrl>{QUrl(QStringLiteral("https://" PELORA_WEB_HOST "/support/"))});
}

TEST_F(PeloraCommandsTest, CommandsReachTheirHandlers) {
    QStringList calls;
    QMenuBar& bar = menuBarWith({
        [&] { calls << QStringLiteral("about"); },
        [&](bool userInitiated) { calls << QStringLiteral("check:%1").arg(userInitiated); },
        [&] { calls << QStringLiteral("settings"); },
        [&] { calls << QStringLiteral("quit"); },
    });
    for (const char* key : {"menu.about", "menu.checkUpdates", "menu.settings", "menu.quit"})
        EXPECT_TRUE(PeloraCommands::trigger(bar, QLatin1String(key))) << key;
    // The update check runs as one the user asked for.
    EXPECT_EQ(calls, QStringList({"about", "check:1", "settings", "quit"}));
    EXPECT_FALSE(PeloraCommands::trigger(bar, QStringLiteral("menu.noSuchCommand")));
    EXPECT_FALSE(
        PeloraCommands::trigger(bar, QStringLiteral("menu.help"))); // a menu, not a command
    EXPECT_TRUE(workspace->openedURLs.isEmpty());
}

TEST_F(PeloraCommandsTest, WithoutHandlersAboutAndTheLicenseShowTheirWindowsAndTheRestIsDisabled) {
    QMenuBar& bar = menuBarWith({});
    EXPECT_FALSE(action(bar, "menu.checkUpdates")->isEnabled());
    EXPECT_FALSE(action(bar, "menu.settings")->isEnabled());
    EXPECT_TRUE(action(bar, "menu.quit")->isEnabled());
    EXPECT_FALSE(PeloraCommands::trigger(bar, QStringLiteral("menu.settings")));
    EXPECT_FALSE(PeloraCommands(*services).perform(QStringLiteral("menu.checkUpdates")));

    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("menu.about")));
    drainEvents();
    PeloraAboutWindow* about = services->get<AboutWindowKeeper>().existingWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());

    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("help.license")));
    drainEvents();
    LicenseWindow* license = services->get<LicenseWindowKeeper>().window();
    ASSERT_NE(license, nullptr);
    EXPECT_TRUE(license->isVisible());
}
