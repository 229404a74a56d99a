#include "SettingsTestSupport.h"
#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "platform/linux/XdgAutostartLoginItems.h"
#include "settings/GeneralSettingsView.h"
#include "settings/SettingsWidgets.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
class GeneralTabTest : public SettingsTest {
protected:
    int fitRequests = 0;
    int visibilityPosts = 0;
    std::unique_ptr<GeneralSettingsView> view;

    void SetUp() override {
        SettingsTest::SetUp();
        services->notifications().addObserver(stripVisibilityDidChangeNotification,
                                              [this](const QVariantMap&) { ++visibilityPosts; });
    }
    void TearDown() override {
        view.reset();
        SettingsTest::TearDown();
    }
    GeneralSettingsView& showTab() {
        view = std::make_unique<GeneralSettingsView>(*services, [this] { ++fitRequests; });
        view->resize(480, 300);
        view->show();
        return *view;
    }
    QStringList sectionHeaders() const {
        QStringList headers;
        for (SettingsSection* s : view->findChildren<SettingsSection*>())
            headers << s->headerLabel()->text();
        return headers;
    }
};

// Sets $HOME for the lifetime of the object.
struct HomeOverride {
    QByteArray saved = qgetenv("HOME");
    explicit HomeOverride(const QString& home) { qputenv("HOME", QFile::encodeName(home)); }
    ~HomeOverride() { qputenv("HOME", saved); }
};
} // namespace

TEST_F(GeneralTabTest, ShowsTwoSectionsWithTheirTitlesSubtitlesAndSwitches) {
    GeneralSettingsView& tab = showTab();
    EXPECT_EQ(sectionHeaders(),
              QStringList({L("settings.launchAtLogin.section"), L("settings.showStrip.section")}));
    EXPECT_EQ(tab.launchAtLoginRow()->titleLabel()->text(), L("settings.launchAtLogin.title"));
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.subtitle"));
    EXPECT_TRUE(tab.launchAtLoginRow()->subtitleLabel()->isVisible());
    EXPECT_EQ(tab.launchAtLoginSwitch()->accessibleName(), L("settings.launchAtLogin.title"));
    EXPECT_TRUE(tab.launchAtLoginSwitch()->text().isEmpty());
    EXPECT_EQ(tab.showStripRow()->titleLabel()->text(), L("strip.menuBar.showStrip"));
    EXPECT_EQ(tab.showStripRow()->subtitleLabel()->text(), L("settings.showStrip.subtitle"));
    EXPECT_TRUE(tab.showStripSwitch()->text().isEmpty());
    // The captions are smaller than the titles.
    EXPECT_LT(tab.showStripRow()->subtitleLabel()->font().pointSizeF(),
              tab.showStripRow()->titleLabel()->font().pointSizeF());
}

TEST_F(GeneralTabTest, EachShowingReadsTheLoginItemAndTheStripPreference) {
    loginItems->currentStatus = LoginItemStatus::requiresApproval;
    GeneralSettingsView& tab = showTab();
    EXPECT_TRUE(tab.opensAtLogin());
    EXPECT_TRUE(tab.needsApproval());
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_EQ(tab.launchAtLoginSubtitle(), L("settings.launchAtLogin.approval"));
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.approval"));
    // Absent means shown.
    EXPECT_TRUE(tab.showsStrip());
    EXPECT_TRUE(tab.showStripSwitch()->isChecked());

    tab.hide();
    loginItems->currentStatus = LoginItemStatus::notRegistered;
    stripVisibleKey.write(*defaults, false);
    tab.show();
    EXPECT_FALSE(tab.opensAtLogin());
    EXPECT_FALSE(tab.needsApproval());
    EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.subtitle"));
    EXPECT_FALSE(tab.showStripSwitch()->isChecked());

    loginItems->currentStatus = LoginItemStatus::notFound;
    tab.refreshLaunchAtLoginState();
    EXPECT_FALSE(tab.opensAtLogin());
}

TEST_F(GeneralTabTest, TheSwitchAsksTheServiceOnlyForARealChange) {
    GeneralSettingsView& tab = showTab();
    tab.launchAtLoginSwitch()->click();
    EXPECT_EQ(loginItems->registerCalls, 1);
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab.failureMessage().isEmpty());

    for (LoginItemStatus already : {LoginItemStatus::enabled, LoginItemStatus::requiresApproval}) {
        loginItems->currentStatus = already;
        EXPECT_EQ(tab.applyLaunchAtLogin(true), std::nullopt);
    }
    EXPECT_EQ(loginItems->registerCalls, 1);

    for (LoginItemStatus off : {LoginItemStatus::notRegistered, LoginItemStatus::notFound}) {
        loginItems->currentStatus = off;
        EXPECT_EQ(tab.applyLaunchAtLogin(false), std::nullopt);
    }
    EXPECT_EQ(loginItems->unregisterCalls, 0);

    loginItems->currentStatus = LoginItemStatus::requiresApproval;
    tab.refreshLaunchAtLoginState();
    tab.launchAtLoginSwitch()->click();
    EXPECT_EQ(loginItems->unregisterCalls, 1);
    EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
}

TEST_F(GeneralTabTest, ARefusedChangeShowsTheServicesStateAndTheFailureInPlaceOfTheSubtitle) {
    GeneralSettingsView& tab = showTab();
    drainEvents();
    fitRequests = 0;
    loginItems->failure = LoginItemError{QStringLiteral("refused")};
    tab.launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_FALSE(tab.opensAtLogin());
    // The bundle lies in /Applications.
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(), L("settings.launchAtLogin.failed"));
    EXPECT_EQ(fitRequests, 1);

    // Elsewhere the text explains where the program belongs.
    bundle->path = QStringLiteral("/tmp/Downloads/Pelora.app");
    tab.launchAtLoginSwitch()->click();
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("alertMustBeInApplicationsFolderMessage"));

    // The message goes with the next successful change...
    loginItems->failure.reset();
    tab.launchAtLoginSwitch()->click();
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab.failureMessage().isEmpty());
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.subtitle"));

    // ...or with the window that showed it (the tab here is its own window).
    loginItems->failure = LoginItemError{QStringLiteral("refused")};
    tab.launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab.failureMessage().isEmpty());
    tab.close();
    tab.show();
    EXPECT_TRUE(tab.failureMessage().isEmpty());
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.subtitle"));
}

TEST_F(GeneralTabTest, ARegistrationAwaitingApprovalIsNoFailure) {
    GeneralSettingsView& tab = showTab();
    fitRequests = 0;
    loginItems->approvalNeeded = true;
    tab.launchAtLoginSwitch()->click();
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab.failureMessage().isEmpty());
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.approval"));
    EXPECT_EQ(fitRequests, 1);
}

TEST_F(GeneralTabTest, TheStripSwitchStoresThePreferenceAndAnnouncesIt) {
    GeneralSettingsView& tab = showTab();
    tab.showStripSwitch()->click();
    EXPECT_EQ(defaults->objectForKey(stripVisibleKey.key()), QVariant(false));
    EXPECT_EQ(visibilityPosts, 1);
    EXPECT_FALSE(tab.showsStrip());
    EXPECT_FALSE(isStripVisible(*defaults));

    tab.showStripSwitch()->click();
    EXPECT_EQ(defaults->objectForKey(stripVisibleKey.key()), QVariant(true));
    EXPECT_EQ(visibilityPosts, 2);
    EXPECT_TRUE(tab.showStripSwitch()->isChecked());
}

TEST(ApplicationsFolder, SymbolicLinksAreResolvedAndTheHomeFolderCounts) {
    QTemporaryDir home;
    HomeOverride override(home.path());
    const QString inHome = home.path() + QStringLiteral("/Applications/Pelora.app");
    const QString elsewhere = home.path() + QStringLiteral("/Downloads/Pelora.app");
    QDir().mkpath(inHome);
    QDir().mkpath(elsewhere);
    EXPECT_TRUE(isBundleInApplicationsFolder(inHome));
    EXPECT_FALSE(isBundleInApplicationsFolder(elsewhere));
    EXPECT_TRUE(isBundleInApplicationsFolder(QStringLiteral("/Applications/Pelora.app")));
    EXPECT_FALSE(isBundleInApplicationsFolder(QStringLiteral("/ApplicationsOld/Pelora.app")));

    // A link from elsewhere into ~/Applications counts, one from there to elsewhere does not.
    ASSERT_TRUE(QFile::link(inHome, home.path() + QStringLiteral("/Desktop-link.app")));
    EXPECT_TRUE(isBundleInApplicationsFolder(home.path() + QStringLiteral("/Desktop-link.app")));
    ASSERT_TRUE(QFile::link(elsewhere, home.path() + QStringLiteral("/Applications/Link.app")));
    EXPECT_FALSE(
        isBundleInApplicationsFolder(home.path() + QStringLiteral("/Applications/Link.app")));

    // A home that is itself reached through a link.
    ASSERT_TRUE(QFile::link(home.path(), home.path() + QStringLiteral("-link")));
    HomeOverride linkedHome(home.path() + QStringLiteral("-link"));
    EXPECT_TRUE(isBundleInApplicationsFolder(inHome));
    QFile::remove(home.path() + QStringLiteral("-link"));
}

namespace {
// The tab over the real autostart service, in a temporary home and config folder.
class GeneralTabAutostartTest : public GeneralTabTest {
protected:
    QTemporaryDir home;
    std::unique_ptr<HomeOverride> homeOverride;
    QString autostart;

    void SetUp() override {
        GeneralTabTest::SetUp();
        homeOverride = std::make_unique<HomeOverride>(home.path());
        const QString bundlePath = home.path() + QStringLiteral("/Applications/Pelora.app");
        QDir().mkpath(bundlePath + QStringLiteral("/Contents/MacOS"));
        const QString executable = bundlePath + QStringLiteral("/Contents/MacOS/pelora");
        QFile exe(executable);
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
        exe.close();
        exe.setPermissions(exe.permissions() | QFileDevice::ExeOwner);
        bundle->path = bundlePath;
        autostart = home.path() + QStringLiteral("/.config/autostart");
        makeServices(std::make_shared<XdgAutostartLoginItems>(bundle->executablePath(),
                                                              QStringLiteral("Pelora"), autostart));
    }
    void TearDown() override {
        QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        GeneralTabTest::TearDown();
        homeOverride.reset();
    }
    QString entry() const { return autostart + QStringLiteral("/pelora.desktop"); }
};
} // namespace

TEST_F(GeneralTabAutostartTest, TheSwitchWritesAndDeletesTheAutostartEntry) {
    GeneralSettingsView& tab = showTab();
    EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
    tab.launchAtLoginSwitch()->click();
    EXPECT_TRUE(QFile::exists(entry()));
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());

    // A later showing reads the entry back.
    view.reset();
    GeneralSettingsView& again = showTab();
    EXPECT_TRUE(again.launchAtLoginSwitch()->isChecked());
    again.launchAtLoginSwitch()->click();
    EXPECT_FALSE(QFile::exists(entry()));
    EXPECT_FALSE(again.launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(again.failureMessage().isEmpty());
}

TEST_F(GeneralTabAutostartTest, AnUnwritableAutostartFolderShowsTheFailure) {
    QDir().mkpath(autostart);
    QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(autostart + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        // Root writes anyway: put a file where the folder should be, which nobody can pass.
        QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        QDir(autostart).removeRecursively();
        QFile blocker(autostart);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    GeneralSettingsView& tab = showTab();
    tab.launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_FALSE(QFileInfo(entry()).exists());
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(), L("settings.launchAtLogin.failed"));
}
