#include "app/PeloraApp.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWindowDecorations.h"
#include "fakes/FakeWorkspace.h"
#include "history/RecentDocumentsService.h"
#include "strip/StripWindowController.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

TEST(InstallationCheck, PlainPrefixOfEitherApplicationsFolder) {
    const QString home = QStringLiteral("/home/ada");
    EXPECT_TRUE(isInApplicationsFolder("/Applications/Pelora.app", home));
    EXPECT_TRUE(isInApplicationsFolder("/Applications/Tools/Pelora.app", home));
    EXPECT_TRUE(isInApplicationsFolder("/home/ada/Applications/Pelora.app", home));
    EXPECT_TRUE(isInApplicationsFolder("/home/ada/Applications/Pelora.app", home + u'/'));
    EXPECT_FALSE(isInApplicationsFolder("/home/ada/Downloads/Pelora.app", home));
    EXPECT_FALSE(isInApplicationsFolder("/home/ada/ApplicationsOld/Pelora.app", home));
    EXPECT_FALSE(isInApplicationsFolder("/home/ada/applications/Pelora.app", home));
    EXPECT_FALSE(isInApplicationsFolder("/home/bob/Applications/Pelora.app", home));
    EXPECT_FALSE(isInApplicationsFolder("/media/disk/Applications", home));
    EXPECT_FALSE(isInApplicationsFolder("/opt/Applications/Pelora.app", home));
    // Not resolved: a link into an Applications folder does not count.
    EXPECT_FALSE(isInApplicationsFolder("/home/ada/Desktop/Pelora.app", home));
}

namespace {
class StartUpTest : public ::testing::Test {
protected:
    StartUpTest() {
        platform.bundle = bundle;
        platform.defaults = defaults;
        platform.dialogs = dialogs;
        platform.screens = std::make_shared<FakeScreens>();
        platform.windowDecorations = std::make_shared<FakeWindowDecorations>();
        platform.pasteboard = std::make_shared<FakePasteboard>();
        platform.recentItemsIndex = std::make_shared<FakeRecentItemsIndex>();
        platform.runningApplications = std::make_shared<FakeRunningApplications>();
        platform.workspace = std::make_shared<FakeWorkspace>();
        platform.fileSystem = std::make_shared<FakeFileSystem>();
    }
    ~StartUpTest() override { drainEvents(); }

    Platform platform;
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
};
} // namespace

TEST_F(StartUpTest, OutsideTheApplicationsFoldersAlertsAndQuitsWithoutAStrip) {
    bundle->path = QStringLiteral("/home/ada/Downloads/Pelora.app");
    Services services(platform);
    int terminations = 0;
    PeloraApp app(services, [&] { ++terminations; });
    EXPECT_EQ(app.stripController()->window(), nullptr);
    EXPECT_TRUE(dialogs->alerts.isEmpty());

    app.appDelegate().applicationWillFinishLaunching();
    ASSERT_EQ(dialogs->alerts.size(), 1);
    const AlertSpec& alert = dialogs->alerts.first();
    EXPECT_EQ(alert.style, AlertStyle::critical);
    EXPECT_EQ(alert.messageText, L("alertMustBeInApplicationsFolderTitle"));
    EXPECT_EQ(alert.informativeText, L("alertMustBeInApplicationsFolderMessage"));
    EXPECT_EQ(alert.buttons, QStringList{L("buttonQuit")});
    EXPECT_EQ(alert.buttons.first(), QStringLiteral("Quit"));
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(app.stripController()->window(), nullptr);
    EXPECT_FALSE(services.has<ClipboardHistoryService>());
    EXPECT_FALSE(services.has<RecentDocumentsService>());
    EXPECT_TRUE(defaults->allKeys().isEmpty());
}

TEST_F(StartUpTest, InsideEitherApplicationsFolderTheStripComesUpUnlessHidden) {
    for (const QString& path : {QStringLiteral("/Applications/Pelora.app"),
                                QDir::homePath() + QStringLiteral("/Applications/Pelora.app")}) {
        bundle->path = path;
        Services services(platform);
        int terminations = 0;
        PeloraApp app(services, [&] { ++terminations; });
        ASSERT_NE(app.stripController()->window(), nullptr) << qPrintable(path);
        EXPECT_TRUE(app.stripController()->window()->isVisible());
        app.appDelegate().applicationWillFinishLaunching();
        app.appDelegate().applicationDidFinishLaunching();
        EXPECT_TRUE(dialogs->alerts.isEmpty());
        EXPECT_EQ(terminations, 0);
    }

    stripVisibleKey.write(*defaults, false);
    Services services(platform);
    PeloraApp app(services, [] {});
    EXPECT_EQ(app.stripController()->window(), nullptr);
    // Hidden, the services still run.
    EXPECT_TRUE(services.get<ClipboardHistoryService>().isStarted());
    // Shown later, it comes up then.
    app.stripController()->showStrip();
    EXPECT_NE(app.stripController()->window(), nullptr);
}

TEST_F(StartUpTest, AHomeReachedThroughALinkHoldsTheSameApplicationsFolder) {
    QTemporaryDir dir;
    const QString real = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/real");
    const QString link = dir.path() + QStringLiteral("/home");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/Applications/Pelora.app")));
    ASSERT_TRUE(QFile::link(real, link));
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(link));
    Services services(platform);
    // The executable's own path comes with links resolved; a path through the link works too.
    bundle->path = real + QStringLiteral("/Applications/Pelora.app");
    const bool resolvedBundle = isInApplicationsFolder(services);
    bundle->path = link + QStringLiteral("/Applications/Pelora.app");
    const bool linkedBundle = isInApplicationsFolder(services);
    bundle->path = real + QStringLiteral("/Downloads/Pelora.app");
    const bool elsewhere = isInApplicationsFolder(services);
    qputenv("HOME", savedHome);
    EXPECT_TRUE(resolvedBundle);
    EXPECT_TRUE(linkedBundle);
    EXPECT_FALSE(elsewhere);
}

TEST_F(StartUpTest, AFailedCheckEndsTheRunBeforeTheEventLoop) {
    bundle->path = QStringLiteral("/tmp/Pelora.app");
    Services services(platform);
    bool loopRan = false;
    QTimer::singleShot(0, [&] {
        loopRan = true;
        QCoreApplication::quit();
    });
    EXPECT_EQ(runPeloraApp(services), 0);
    EXPECT_FALSE(loopRan);
    EXPECT_EQ(dialogs->alerts.size(), 1);
    drainEvents();
}

TEST_F(StartUpTest, ARunShowsTheStripAndStoresItsFrameWhenItQuits) {
    bundle->path = QStringLiteral("/Applications/Pelora.app");
    Services services(platform);
    bool stripShown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            stripShown |= w->objectName() == u"StripPanel" && w->isVisible();
        QCoreApplication::quit();
    });
    EXPECT_EQ(runPeloraApp(services), 0);
    EXPECT_TRUE(stripShown);
    EXPECT_TRUE(dialogs->alerts.isEmpty());
    // Never moved, so only the quit stored it.
    EXPECT_EQ(stripWindowFrameKey.read(*defaults), QStringLiteral("{{1396, 318}, {32, 240}}"));
}
