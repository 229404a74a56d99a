#include "common/Texts.h"
#include "platform/linux/XdgAutostartLoginItems.h"
#include "settings/GeneralSettingsView.h"
#include "settings/PeloraSettingsView.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"
#include "settings/SettingsWindowController.h"
#include "settings/UpdatesSettingsView.h"
#include "settings/VersionCheckService.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class SettingsTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
    int fitRequests = 0;

    SettingsWindowController& controller() { return services->get<SettingsWindowController>(); }
    template <class View> std::unique_ptr<View> showTab() {
        std::unique_ptr<View> view;
        if constexpr (std::is_same_v<View, UpdatesSettingsView>)
            view = std::make_unique<View>(*services, services->get<PeloraUpdatePreferences>(),
                                          [this] { ++fitRequests; });
        else
            view = std::make_unique<View>(*services, [this] { ++fitRequests; });
        view->resize(480, 300);
        view->show();
        return view;
    }
    // A check that ended, as the version check announces it.
    void finishCheck(const QDateTime& lastSuccess) {
        fakes.defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), lastSuccess.toUTC());
        services->notifications().post(kVersionCheckDidFinish);
    }
};

// Sets $HOME for the lifetime of the object.
struct HomeOverride {
    QByteArray saved = qgetenv("HOME");
    explicit HomeOverride(const QString& home) { qputenv("HOME", QFile::encodeName(home)); }
    ~HomeOverride() { qputenv("HOME", saved); }
};

// A fixed place and language for the captions.
struct LocaleOverride {
    QLocale saved;
    explicit LocaleOverride(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleOverride() { QLocale::setDefault(saved); }
};
} // namespace

TEST_F(SettingsTest, OpeningMakesTheProgramActiveAndShowsOneWindowThatIsReopened) {
    controller().openSettingsWindow();
    QMainWindow* window = controller().existingSettingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), L("settingsTabGeneralTitle"));
    EXPECT_EQ(fakes.running->currentApplicationActivations, 1);

    window->close();
    controller().openSettingsWindow();
    controller().openSettingsWindow();
    EXPECT_EQ(controller().existingSettingsWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(fakes.running->currentApplicationActivations, 3);
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows += w->objectName() == QStringLiteral("settingsWindow");
    EXPECT_EQ(windows, 1);
}

TEST_F(SettingsTest, TheStoredTabChoosesTheContentAndAnyOtherValueMeansGeneral) {
    fakes.defaults->setObject(kSettingsSelectedTabKey.key(), qint64(7));
    controller().openSettingsWindow();
    PeloraSettingsView* view = controller().settingsView();
    EXPECT_EQ(view->selectedTab(), PeloraSettingsView::general);
    EXPECT_TRUE(view->generalView()->isVisible());
    // A value written by someone else switches too.
    for (const auto& [stored, tab] :
         {std::pair{1, PeloraSettingsView::updates}, std::pair{-1, PeloraSettingsView::general}}) {
        fakes.defaults->setObject(kSettingsSelectedTabKey.key(), qint64(stored));
        EXPECT_EQ(view->generalView()->isVisible(), tab == PeloraSettingsView::general);
        EXPECT_EQ(view->updatesView()->isVisible(), tab == PeloraSettingsView::updates);
        EXPECT_EQ(controller().existingSettingsWindow()->windowTitle(),
                  PeloraSettingsView::tabTitle(tab));
    }
}

TEST_F(SettingsTest, AFinishedCheckShowsTheCaptionAndTheWindowGrowsDownwards) {
    fakes.defaults->setObject(kSettingsSelectedTabKey.key(), qint64(1));
    controller().openSettingsWindow();
    QMainWindow* window = controller().existingSettingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QRect before = window->geometry();
    finishCheck(QDateTime::currentDateTime());
    EXPECT_TRUE(waitUntil([&] { return window->height() > before.height(); }));
    EXPECT_EQ(window->geometry().top(), before.top());
}

TEST_F(SettingsTest, TheUpdatesTabShowsTheCheckUnderWayAndTheLastSuccessInTheLocalesWords) {
    const LocaleOverride english(QLocale(QLocale::English, QLocale::UnitedStates));
    auto tab = showTab<UpdatesSettingsView>();
    EXPECT_TRUE(tab->automaticSwitch()->isChecked()) << "absent means on";
    tab->automaticSwitch()->click();
    EXPECT_FALSE(services->get<PeloraUpdatePreferences>().autoCheckForUpdates());
    services->get<PeloraUpdatePreferences>().setAutoCheckForUpdates(true);
    EXPECT_TRUE(tab->automaticSwitch()->isChecked());
    EXPECT_FALSE(tab->manualRow()->subtitleLabel()->isVisible());

    tab->checkNowButton()->click();
    EXPECT_TRUE(tab->isChecking());
    EXPECT_TRUE(tab->progressIndicator()->isVisible());
    EXPECT_TRUE(tab->checkNowButton()->text().isEmpty());
    // This build asks no server: the check fails, the caption stays away.
    ASSERT_TRUE(waitUntil([&] { return !tab->isChecking(); }, 30000));
    EXPECT_FALSE(tab->progressIndicator()->isVisible());
    EXPECT_FALSE(tab->checkNowButton()->text().isEmpty());
    EXPECT_FALSE(tab->manualRow()->subtitleLabel()->isVisible());
    EXPECT_GE(fitRequests, 1);

    // Any check's success, an automatic one too, shows its date.
    const QDateTime checked(QDate(2026, 3, 5), QTime(14, 7), Qt::LocalTime);
    finishCheck(checked);
    EXPECT_TRUE(tab->manualRow()->subtitleLabel()->isVisible());
    EXPECT_EQ(tab->manualRow()->subtitleLabel()->text(),
              QStringLiteral("Last checked: Thursday, March 5, 2026 at 2:07\u202FPM"));
    const LocaleOverride german(QLocale(QLocale::German, QLocale::Germany));
    tab = showTab<UpdatesSettingsView>();
    EXPECT_EQ(tab->manualRow()->subtitleLabel()->text(),
              QStringLiteral("Last checked: Donnerstag, 5. März 2026 um 14:07"));
}

TEST_F(SettingsTest, TheLoginSwitchFollowsTheServiceAndAsksOnlyForARealChange) {
    const struct {
        LoginItemStatus status;
        bool on;
        const char* subtitle;
    } states[] = {
        {LoginItemStatus::requiresApproval, true, "settings.launchAtLogin.approval"},
        {LoginItemStatus::enabled, true, "settings.launchAtLogin.subtitle"},
        {LoginItemStatus::notRegistered, false, "settings.launchAtLogin.subtitle"},
        {LoginItemStatus::notFound, false, "settings.launchAtLogin.subtitle"},
    };
    auto tab = showTab<GeneralSettingsView>();
    for (const auto& s : states) {
        // Each showing reads the service again.
        fakes.loginItems->currentStatus = s.status;
        tab->hide();
        tab->show();
        EXPECT_EQ(tab->launchAtLoginSwitch()->isChecked(), s.on);
        EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(), L(s.subtitle));
        EXPECT_EQ(tab->applyLaunchAtLogin(s.on), std::nullopt);
    }
    EXPECT_EQ(fakes.loginItems->registerCalls + fakes.loginItems->unregisterCalls, 0);

    fakes.loginItems->approvalNeeded = true;
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(fakes.loginItems->registerCalls, 1);
    EXPECT_TRUE(tab->launchAtLoginSwitch()->isChecked());
    EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(),
              L("settings.launchAtLogin.approval"));
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(fakes.loginItems->unregisterCalls, 1);
    EXPECT_FALSE(tab->launchAtLoginSwitch()->isChecked());
}

TEST_F(SettingsTest, ARefusedChangeShowsTheFailureUntilTheNextSuccessOrShowing) {
    auto tab = showTab<GeneralSettingsView>();
    drainEvents();
    fitRequests = 0;
    fakes.loginItems->failure = LoginItemError{QStringLiteral("refused")};
    tab->launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab->launchAtLoginSwitch()->isChecked());
    // The bundle lies in /Applications; elsewhere the text explains where it belongs.
    EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(), L("settings.launchAtLogin.failed"));
    EXPECT_EQ(fitRequests, 1);
    fakes.bundle->path = QStringLiteral("/tmp/Downloads/Pelora.app");
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(),
              L("alertMustBeInApplicationsFolderMessage"));

    fakes.loginItems->failure.reset();
    tab->launchAtLoginSwitch()->click();
    EXPECT_TRUE(tab->launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab->failureMessage().isEmpty());

    fakes.loginItems->failure = LoginItemError{QStringLiteral("refused")};
    tab->launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab->failureMessage().isEmpty());
    tab->close();
    tab->show();
    EXPECT_TRUE(tab->failureMessage().isEmpty());
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

TEST_F(SettingsTest, TheLoginSwitchWritesAndDeletesTheAutostartEntry) {
    QTemporaryDir home;
    HomeOverride override(home.path());
    const QString bundlePath = home.path() + QStringLiteral("/Applications/Pelora.app");
    writeFile(bundlePath + QStringLiteral("/Contents/MacOS/pelora"), "", true);
    fakes.bundle->path = bundlePath;
    const QString autostart = home.path() + QStringLiteral("/.config/autostart");
    Platform platform = fakes.platform();
    platform.loginItems = std::make_shared<XdgAutostartLoginItems>(
        fakes.bundle->executablePath(), QStringLiteral("Pelora"), autostart);
    services = std::make_unique<Services>(platform);
    const QString entry = autostart + QStringLiteral("/pelora.desktop");

    auto tab = showTab<GeneralSettingsView>();
    EXPECT_FALSE(tab->launchAtLoginSwitch()->isChecked());
    tab->launchAtLoginSwitch()->click();
    EXPECT_TRUE(QFile::exists(entry));
    // A later showing reads the entry back.
    tab = showTab<GeneralSettingsView>();
    EXPECT_TRUE(tab->launchAtLoginSwitch()->isChecked());
    tab->launchAtLoginSwitch()->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(tab->failureMessage().isEmpty());
}
