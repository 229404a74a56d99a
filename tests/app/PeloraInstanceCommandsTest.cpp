#include "app/PeloraInstanceCommands.h"
#include "about/AboutWindow.h"
#include "app/InstanceClient.h"
#include "app/InstanceProtocol.h"
#include "app/InstanceServer.h"
#include "app/MenuJson.h"
#include "app/PeloraApp.h"
#include "app/PeloraStatusItemController.h"
#include "app/StatusItemTestSupport.h"
#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "settings/LocalHttpServer.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripWindowController.h"

#include <QApplication>
#include <QCursor>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <future>

namespace P = InstanceProtocol;

namespace {

// The running program's side for real: its controllers behind a listening socket; the asking
// side on its own thread, as it would be in its own process.
class InstanceCommandsTest : public WholeProgramTest {
protected:
    InstanceCommandsTest()
        : services(platform), strip(std::make_shared<StripWindowController>(services)),
          statusItem(services, strip), commands(services, *strip, statusItem),
          server(socketFolder.filePath(QStringLiteral("pelora.socket"))) {}

    void SetUp() override {
        ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
        server.setCommands(&commands);
        strip->showStrip();
    }
    void TearDown() override { server.setCommands(nullptr); }

    QJsonObject ask(const QString& command, const char* key = nullptr, const QString& value = {}) {
        QJsonObject message{{QLatin1String(P::keyCommand), command}};
        if (key)
            message.insert(QLatin1String(key), value);
        const QString path = server.socketPath();
        auto future = std::async(std::launch::async,
                                 [path, message] { return sendInstanceRequest(path, message); });
        waitUntil(
            [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        const InstanceReply reply = future.get();
        EXPECT_EQ(reply.status, InstanceReply::Status::answered) << qPrintable(reply.error);
        // Effects run on the turn after the reply.
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return reply.body;
    }
    static bool ok(const QJsonObject& reply) {
        return reply.value(QLatin1String(P::keyOk)).toBool();
    }

    QTemporaryDir socketFolder;
    Services services;
    std::shared_ptr<StripWindowController> strip;
    PeloraStatusItemController statusItem;
    PeloraInstanceCommands commands;
    InstanceServer server;
};

} // namespace

TEST_F(InstanceCommandsTest, StripCommandsActLikeTheGeneralTabsSwitch) {
    const std::optional<QRectF> before = strip->stripFrame();
    ASSERT_TRUE(before);
    int notifications = 0;
    services.notifications().addObserver(stripVisibilityDidChangeNotification,
                                         [&](const QVariantMap&) { ++notifications; });

    QJsonObject reply = ask(QStringLiteral("strip"), P::keyAction, QStringLiteral("hide"));
    EXPECT_TRUE(ok(reply));
    EXPECT_FALSE(reply.value(QLatin1String(P::keyStripVisible)).toBool(true));
    EXPECT_EQ(defaults->objectForKey(stripVisibleKey.key()), QVariant(false));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(strip->window(), nullptr);

    reply = ask(QStringLiteral("strip"), P::keyAction, QStringLiteral("toggle"));
    EXPECT_TRUE(reply.value(QLatin1String(P::keyStripVisible)).toBool());
    EXPECT_EQ(defaults->objectForKey(stripVisibleKey.key()), QVariant(true));
    ASSERT_NE(strip->window(), nullptr);
    EXPECT_EQ(strip->stripFrame(), before) << "it comes back where it was";

    reply = ask(QStringLiteral("strip"), P::keyAction, QStringLiteral("show"));
    EXPECT_TRUE(ok(reply));
    EXPECT_EQ(notifications, 3);
    EXPECT_NE(strip->window(), nullptr);
}

TEST_F(InstanceCommandsTest, MenuAnswersWithWhatAPressWouldShow) {
    for (StripModule module :
         {StripModule::documents, StripModule::folders, StripModule::applications,
          StripModule::clipboard, StripModule::windows}) {
        const QJsonObject reply = ask(QStringLiteral("menu"), P::keyModule, rawValue(module));
        ASSERT_TRUE(ok(reply)) << qPrintable(rawValue(module));
        EXPECT_EQ(reply.value(QLatin1String(P::keyMenu)).toObject(),
                  menuToJson(*strip->menuForModule(module)))
            << qPrintable(rawValue(module));
    }
}

TEST_F(InstanceCommandsTest, ASecondPlainStartShowsTheStripOrElseTheSettings) {
    auto& settings = services.get<SettingsWindowController>();
    EXPECT_TRUE(ok(ask(QStringLiteral("activate"))));
    EXPECT_NE(strip->window(), nullptr);
    EXPECT_TRUE(strip->window()->isVisible());
    EXPECT_EQ(settings.existingSettingsWindow(), nullptr) << "the strip was enough";

    commands.setStripVisible(false);
    EXPECT_TRUE(ok(ask(QStringLiteral("activate"))));
    EXPECT_EQ(strip->window(), nullptr) << "a hidden strip stays hidden";
    ASSERT_TRUE(waitUntil([&] {
        return settings.existingSettingsWindow() && settings.existingSettingsWindow()->isVisible();
    }));
    settings.existingSettingsWindow()->close();
}

TEST_F(InstanceCommandsTest, SettingsAboutAndUpdateChecksComeUpAsFromTheMenus) {
    EXPECT_TRUE(ok(ask(QStringLiteral("settings"))));
    auto& settings = services.get<SettingsWindowController>();
    ASSERT_TRUE(waitUntil([&] {
        return settings.existingSettingsWindow() && settings.existingSettingsWindow()->isVisible();
    }));
    settings.existingSettingsWindow()->close();

    EXPECT_TRUE(ok(ask(QStringLiteral("about"))));
    auto& about = services.get<AboutWindowKeeper>();
    ASSERT_TRUE(
        waitUntil([&] { return about.existingWindow() && about.existingWindow()->isVisible(); }));
    about.existingWindow()->close();

    // A check the user asked for reports its outcome; this build has no server to ask.
    QList<QVariantMap> finishes;
    services.notifications().addObserver(kVersionCheckDidFinish,
                                         [&](const QVariantMap& info) { finishes << info; });
    EXPECT_TRUE(ok(ask(QStringLiteral("check-updates"))));
    ASSERT_TRUE(waitUntil([&] { return !finishes.isEmpty(); }));
    EXPECT_TRUE(finishes.first().value(QLatin1String(kRequestedByUserKey)).toBool());
    ASSERT_EQ(dialogs->alerts.size(), 1);
    EXPECT_EQ(dialogs->alerts.first().messageText, L("updates.alert.unavailable.title"));
}

TEST_F(WholeProgramTest, QuitFromAnotherStartEndsTheRunAndStoresTheStripFrame) {
    QTemporaryDir folder;
    InstanceServer server(folder.filePath(QStringLiteral("pelora.socket")));
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
    Services services(platform);
    std::future<InstanceReply> reply;
    QTimer::singleShot(0, [&] {
        const QString path = server.socketPath();
        reply = std::async(std::launch::async, [path] {
            return sendInstanceRequest(
                path, QJsonObject{{QLatin1String(P::keyCommand), QLatin1String(P::commandQuit)}});
        });
    });
    QObject guard;
    QTimer::singleShot(10000, &guard, [] { QCoreApplication::exit(9); });
    EXPECT_EQ(runPeloraApp(services, &server), 0);
    ASSERT_TRUE(reply.valid());
    EXPECT_EQ(reply.get().status, InstanceReply::Status::answered);
    EXPECT_FALSE(stripWindowFrameKey.read(*defaults).isEmpty());
}

TEST_F(WholeProgramTest, TheLaunchCheckAsksTheServerSilentlyOnlyWhenAutomaticChecksAreOn) {
    LocalHttpServer web;
    ASSERT_TRUE(web.isListening());
    // The running version: up to date, which a silent check keeps to itself.
    web.response.body = LocalHttpServer::document("<lastversion>1.0.0</lastversion>");
    kTestVersionDocumentURLKey.write(*defaults, web.url().toString());
    for (const std::optional<bool> automatic :
         {std::optional<bool>(), std::optional<bool>(true), std::optional<bool>(false)}) {
        SCOPED_TRACE(automatic ? (*automatic ? "on" : "off") : "absent");
        web.requests.clear();
        defaults->removeObject(kAutoCheckForUpdatesKey.key());
        if (automatic)
            kAutoCheckForUpdatesKey.write(*defaults, *automatic);
        Services services(platform);
        QList<QVariantMap> finishes;
        services.notifications().addObserver(kVersionCheckDidFinish,
                                             [&](const QVariantMap& info) { finishes << info; });
        PeloraApp app(services, [] {});
        app.appDelegate().applicationWillFinishLaunching();
        EXPECT_TRUE(web.requests.isEmpty()) << "not before launching has finished";
        app.appDelegate().applicationDidFinishLaunching();
        if (automatic.value_or(true)) {
            ASSERT_TRUE(waitUntil([&] { return !finishes.isEmpty(); }));
            EXPECT_FALSE(finishes.first().value(QLatin1String(kRequestedByUserKey), true).toBool());
            EXPECT_EQ(web.requests.size(), 1);
        } else {
            waitUntil([&] { return !finishes.isEmpty(); }, 300);
            EXPECT_TRUE(finishes.isEmpty());
            EXPECT_TRUE(web.requests.isEmpty());
        }
        EXPECT_TRUE(dialogs->alerts.isEmpty());
    }
}

namespace {
// Records presses instead of opening menus beside buttons.
class PressRecordingStrip : public StripWindowController {
public:
    using StripWindowController::StripWindowController;
    QList<StripModule> presented;
    void presentModuleMenu(StripModule module) override { presented << module; }
};
} // namespace

TEST_F(WholeProgramTest, PopupGoesToTheButtonOrToThePointerWhileTheStripIsHidden) {
    Services services(platform);
    auto strip = std::make_shared<PressRecordingStrip>(services);
    PeloraStatusItemController statusItem(services, strip);
    PeloraInstanceCommands commands(services, *strip, statusItem);

    strip->showStrip();
    commands.popup(StripModule::folders);
    EXPECT_EQ(strip->presented, QList<StripModule>{StripModule::folders}) << "as a press would";

    commands.setStripVisible(false);
    ASSERT_EQ(strip->window(), nullptr);
    QCursor::setPos(QPoint(500, 400));
    commands.popup(StripModule::documents);
    EXPECT_EQ(strip->presented.size(), 1);
    const QString title = strip->menuForModule(StripModule::documents)->title();
    QPointer<QMenu> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(w);
            menu && menu->isVisible() && menu->title() == title)
            shown = menu;
    ASSERT_TRUE(shown);
    ASSERT_EQ(QCursor::pos(), QPoint(500, 400));
    EXPECT_EQ(shown->pos(), QCursor::pos());
    shown->hide();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull()) << "a closed menu is not kept";
}
