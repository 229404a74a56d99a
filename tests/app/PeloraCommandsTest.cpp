#include "app/PeloraCommands.h"
#include "about/AboutWindow.h"
#include "about/LicenseWindow.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PeloraCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = std::make_shared<FakeBundle>();
        bundle->resourcesDir = resources.path();
        workspace = std::make_shared<FakeWorkspace>();
        Platform platform;
        platform.bundle = bundle;
        platform.workspace = workspace;
        platform.runningApplications = std::make_shared<FakeRunningApplications>();
        services = std::make_unique<Services>(platform);
    }
    void TearDown() override {
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

    // "key" for an action, "-" for a separator.
    static QStringList entries(const QMenu* menu) {
        QStringList list;
        for (const QAction* action : menu->actions())
            list << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return list;
    }

    static QAction* action(QMenuBar& bar, const char* key) {
        return bar.findChild<QAction*>(QLatin1String(key));
    }

    QTemporaryDir resources;
    std::shared_ptr<FakeBundle> bundle;
    std::shared_ptr<FakeWorkspace> workspace;
    std::unique_ptr<Services> services;
    std::unique_ptr<QMainWindow> window;
};

} // namespace

TEST_F(PeloraCommandsTest, MenusHoldTheCommandsInOrderWithTheirTextsAndShortcuts) {
    bundle->info[QStringLiteral("CFBundleDisplayName")] = QStringLiteral("Pelora");
    QMenuBar& bar = menuBarWith({[] {}, [](bool) {}, [] {},
                                 [] {
                                 }});
    const QList<QAction*> top = bar.actions();
    ASSERT_EQ(top.size(), 2);
    QMenu* application = top[0]->menu();
    QMenu* help = top[1]->menu();
    ASSERT_TRUE(application && help);
    EXPECT_EQ(application->title(), QStringLiteral("&Pelora"));
    EXPECT_EQ(help->title(), u'&' + L("menu.help"));
    EXPECT_EQ(entries(application), QStringList({"menu.about", "menu.checkUpdates", "-",
                                                 "menu.settings", "-", "menu.quit"}));
    EXPECT_EQ(entries(help),
              QStringList({"help.app", "help.support", "-", "help.license", "-", "help.site"}));
    EXPECT_EQ(entries(application).filter(QStringLiteral(".")) +
                  entries(help).filter(QStringLiteral(".")),
              PeloraCommands::commandKeys());

    for (QMenu* menu : {application, help}) {
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QByteArray key = a->objectName().toUtf8();
            EXPECT_EQ(a->text(), qtTrId(key.constData()));
            EXPECT_NE(a->text(), a->objectName()) << "no text for " << key.constData();
            EXPECT_TRUE(a->isEnabled()) << key.constData();
            if (a->objectName() != u"menu.quit") {
                EXPECT_FALSE(a->icon().isNull()) << key.constData();
            }
        }
    }
    EXPECT_EQ(action(bar, "menu.settings")->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
    EXPECT_EQ(action(bar, "help.app")->shortcut(), QKeySequence(QStringLiteral("Ctrl+?")));
    EXPECT_EQ(action(bar, "menu.quit")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_TRUE(action(bar, "help.support")->shortcut().isEmpty());
    // Platforms with a global menu move these into the application menu by role.
    EXPECT_EQ(action(bar, "menu.about")->menuRole(), QAction::AboutRole);
    EXPECT_EQ(action(bar, "menu.settings")->menuRole(), QAction::PreferencesRole);
    EXPECT_EQ(action(bar, "menu.quit")->menuRole(), QAction::QuitRole);
    EXPECT_EQ(action(bar, "help.license")->menuRole(), QAction::NoRole);
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
    QMenuBar& bar = menuBarWith({});
    Q_UNUSED(bar);
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

TEST_F(PeloraCommandsTest, WithoutHandlersAboutShowsTheWindowAndTheRestIsDisabled) {
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
}

TEST_F(PeloraCommandsTest, LicenseTwiceWhileOpenIsOneWindow) {
    QMenuBar& bar = menuBarWith({});
    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("help.license")));
    drainEvents();
    QPointer<LicenseWindow> first = services->get<LicenseWindowKeeper>().window();
    ASSERT_FALSE(first.isNull());
    ASSERT_TRUE(PeloraCommands::trigger(bar, QStringLiteral("help.license")));
    drainEvents();
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(services->get<LicenseWindowKeeper>().window(), first.data());
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* license = qobject_cast<LicenseWindow*>(w)) {
            ++count;
            EXPECT_TRUE(license->isVisible());
            // The test bundle has no agreement.
            EXPECT_TRUE(license->showsUnavailableText());
        }
    }
    EXPECT_EQ(count, 1);
}
