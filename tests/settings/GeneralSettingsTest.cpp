#include "SettingsTestSupport.h"
#include "common/StripVisibility.h"
#include "common/Texts.h"
#include "platform/linux/XdgAutostartLoginItems.h"
#include "settings/GeneralSettingsView.h"
#include "settings/SettingsWidgets.h"
#include "support/TempTree.h"
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
};

// Sets $HOME for the lifetime of the object.
struct HomeOverride {
    QByteArray saved = qgetenv("HOME");
    explicit HomeOverride(const QString& home) { qputenv("HOME", QFile::encodeName(home)); }
    ~HomeOverride() { qputenv("HOME", saved); }
};
} // namespace

TEST_F(GeneralTabTest, EachShowingReadsTheLoginItemAndTheStripPreference) {
    loginItems->currentStatus = LoginItemStatus::requiresApproval;
    GeneralSettingsView& tab = showTab();
    EXPECT_TRUE(tab.opensAtLogin());
    EXPECT_TRUE(tab.needsApproval());
    EXPECT_TRUE(tab.launchAtLoginSwitch()->isChecked());
    EXPECT_EQ(tab.launchAtLoginSubtitle(), L("settings.launchAtLogin.approval"));
    EXPECT_EQ(tab.launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.approval"));
    EXPECT_EQ(tab.launchAtLoginSwitch()->accessibleName(), L("settings.launchAtLogin.title"));
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
    const TempTree tree{"home/Applications/Pelora.app/", "home/Downloads/Pelora.app/",
                        // Into ~/Applications from elsewhere, and from there to elsewhere.
                        "home/Desktop-link.app -> home/Applications/Pelora.app",
                        "home/Applications/Link.app -> home/Downloads/Pelora.app",
                        "linked-home -> home"};
    const std::pair<const char*, bool> cases[] = {
        {"home/Applications/Pelora.app", true},
        {"home/Downloads/Pelora.app", false},
        {"home/Desktop-link.app", true},
        {"home/Applications/Link.app", false},
    };
    // Also with a home that is itself reached through a link.
    for (const char* home : {"home", "linked-home"}) {
        HomeOverride override(tree.path(QLatin1String(home)));
        for (const auto& [path, inside] : cases)
            EXPECT_EQ(isBundleInApplicationsFolder(tree.path(QLatin1String(path))), inside)
                << home << ": " << path;
    }
    EXPECT_TRUE(isBundleInApplicationsFolder(QStringLiteral("/Applications/Pelora.app")));
    EXPECT_FALSE(isBundleInApplicationsFolder(QStringLiteral("/ApplicationsOld/Pelora.app")));
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
        writeFile(bundlePath + QStringLiteral("/Contents/MacOS/pelora"), "", true);
        bundle->path = bundlePath;
        autostart = home.path() + QStringLiteral("/.config/autostart");
        makeServices(std::make_shared<XdgAutostartLoginItems>(bundle->executablePath(),
                                                              QStringLiteral("Pelora"), autostart));
    }
    void TearDown() override {
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
