#include "app/PeloraApp.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "history/RecentDocumentsService.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

TEST(InstallationCheck, PlainPrefixOfEitherApplicationsFolder) {
    const QString home = QStringLiteral("/home/ada");
    const std::pair<const char*, bool> cases[] = {
        {"/Applications/Pelora.app", true},
        {"/Applications/Tools/Pelora.app", true},
        {"/home/ada/Applications/Pelora.app", true},
        {"/home/ada/Downloads/Pelora.app", false},
        {"/home/ada/ApplicationsOld/Pelora.app", false},
        {"/home/ada/applications/Pelora.app", false},
        {"/home/bob/Applications/Pelora.app", false},
        {"/media/disk/Applications", false},
        {"/opt/Applications/Pelora.app", false},
        // Not resolved: a link into an Applications folder does not count.
        {"/home/ada/Desktop/Pelora.app", false},
    };
    for (const auto& [path, inside] : cases)
        EXPECT_EQ(isInApplicationsFolder(path, home), inside) << path;
    EXPECT_TRUE(isInApplicationsFolder("/home/ada/Applications/Pelora.app", home + u'/'));
}

namespace {
class StartUpTest : public ::testing::Test {
protected:
    ~StartUpTest() override { drainEvents(); }
    FakePlatform fakes;
    Platform platform = fakes.platform();
    std::shared_ptr<FakeBundle> bundle = fakes.bundle;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<FakeDialogs> dialogs = fakes.dialogs;
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
    const AlertOptions& alert = dialogs->alerts.first();
    EXPECT_EQ(alert.style, AlertStyle::critical);
    EXPECT_EQ(alert.messageText, L("alertMustBeInApplicationsFolderTitle"));
    EXPECT_EQ(alert.informativeText, L("alertMustBeInApplicationsFolderMessage"));
    EXPECT_EQ(alert.buttons, QStringList{QStringLiteral("Quit")});
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
    TempTree tree{"real/Applications/Pelora.app/", "home -> real"};
    const QString real = tree.path(QStringLiteral("real"));
    const QString link = tree.path(QStringLiteral("home"));
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
