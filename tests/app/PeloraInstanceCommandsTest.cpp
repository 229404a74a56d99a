#include "app/PeloraInstanceCommands.h"
#include "about/AboutWindow.h"
#include "app/InstanceClient.h"
#include "app/InstanceProtocol.h"
#include "app/InstanceServer.h"
#include "app/PeloraStatusItemController.h"
#include "app/StatusItemTestSupport.h"
#include "common/Texts.h"
#include "settings/SettingsWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripWindowController.h"

#include <QApplication>
#include <QTemporaryDir>

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
