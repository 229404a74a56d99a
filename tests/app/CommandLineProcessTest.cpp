#include "app/InstanceCommands.h"
#include "app/InstanceServer.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The real executable, started the way a user's shortcut or script starts it, against an
// instance served by this test.
namespace {
class MenuCommands : public InstanceCommands {
public:
    QStringList calls;
    void activate() override { calls << QStringLiteral("activate"); }
    void popup(StripModule module) override {
        calls << QStringLiteral("popup ") + rawValue(module);
    }
    std::unique_ptr<QMenu> menu(StripModule) override {
        auto menu = std::make_unique<QMenu>(QStringLiteral("Recent Folders"));
        menu->addAction(QStringLiteral("Recent Folders"))->setEnabled(false);
        QMenu* sub = menu->addMenu(QStringLiteral("Projects"));
        sub->addAction(QStringLiteral("pelora"));
        menu->addSeparator();
        return menu;
    }
    bool isStripVisible() const override { return true; }
    void setStripVisible(bool visible) override {
        calls << (visible ? QStringLiteral("show strip") : QStringLiteral("hide strip"));
    }
    void showSettings() override {}
    void showAbout() override {}
    void checkForUpdates() override {}
    void quit() override { calls << QStringLiteral("quit"); }
};

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class PeloraExecutable : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.isValid()); }

    Outcome pelora(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        // A command needs no display; make sure it does not reach for one.
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.start(buildPath(QStringLiteral("Pelora.app/Contents/MacOS/pelora")), arguments);
        // This thread serves the instance while the command runs.
        const bool finished =
            waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000);
        Outcome run;
        if (!finished) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QTemporaryDir runtime;
    MenuCommands commands;
};
} // namespace

TEST_F(PeloraExecutable, WithoutARunningInstanceCommandsSaySoWithStatusThree) {
    for (const char* command : {"quit", "about"}) {
        const Outcome run = pelora({QString::fromLatin1(command)});
        EXPECT_EQ(run.exitCode, 3) << command;
        EXPECT_TRUE(run.err.contains(QLatin1String("not running"))) << run.err.toStdString();
    }
    const Outcome popup = pelora({QStringLiteral("popup"), QStringLiteral("documents")});
    EXPECT_EQ(popup.exitCode, 3);
}

TEST_F(PeloraExecutable, BadUsageIsStatusTwoWithTheUsage) {
    const Outcome unknown = pelora({QStringLiteral("popup"), QStringLiteral("shortcuts")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("no button")));
    EXPECT_TRUE(unknown.err.contains(QLatin1String("pelora --help")));

    const Outcome help = pelora({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage: pelora")));
    const Outcome version = pelora({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QLatin1String("Pelora "))) << version.out.toStdString();
}

TEST_F(PeloraExecutable, TheRunningInstanceCarriesOutCommandsAndPrintsMenus) {
    InstanceServer server(runtime.filePath(QStringLiteral("pelora.socket")));
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
    server.setCommands(&commands);

    EXPECT_EQ(pelora({QStringLiteral("popup"), QStringLiteral("windows")}).exitCode, 0);
    EXPECT_EQ(pelora({QStringLiteral("strip"), QStringLiteral("hide")}).exitCode, 0);
    drainEvents();
    EXPECT_EQ(commands.calls,
              (QStringList{QStringLiteral("popup windows"), QStringLiteral("hide strip")}));

    const Outcome text = pelora({QStringLiteral("menu"), QStringLiteral("folders")});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_EQ(text.out, QStringLiteral("Recent Folders\n"
                                       "  Recent Folders (disabled)\n"
                                       "  Projects >\n"
                                       "    pelora\n"
                                       "  ----\n"));

    const Outcome json =
        pelora({QStringLiteral("menu"), QStringLiteral("folders"), QStringLiteral("--json")});
    EXPECT_EQ(json.exitCode, 0);
    const QJsonObject menu = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(menu.value(QLatin1String("title")).toString(), QStringLiteral("Recent Folders"));
    EXPECT_EQ(menu.value(QLatin1String("items")).toArray().size(), 3);
}
