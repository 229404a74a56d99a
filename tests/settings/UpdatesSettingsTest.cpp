#include "LocalHttpServer.h"
#include "SettingsTestSupport.h"
#include "common/Texts.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"
#include "settings/UpdateWindowController.h"
#include "settings/UpdatesSettingsView.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QScopeGuard>

using namespace std::chrono_literals;

namespace {
class UpdatesTabTest : public SettingsTest {
protected:
    LocalHttpServer server;
    int fitRequests = 0;
    std::unique_ptr<UpdatesSettingsView> view;

    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_TRUE(server.isListening());
        pointChecksAt(server.url());
        server.response.body = LocalHttpServer::document("<lastversion>1.0.0</lastversion>");
    }
    void TearDown() override {
        view.reset();
        SettingsTest::TearDown();
    }
    PeloraUpdatePreferences& preferences() { return services->get<PeloraUpdatePreferences>(); }
    UpdatesSettingsView& showTab() {
        view = std::make_unique<UpdatesSettingsView>(*services, preferences(),
                                                     [this] { ++fitRequests; });
        view->resize(480, 300);
        view->show();
        return *view;
    }
    bool waitForFinishes(int count) {
        return waitUntil([&] { return finishes.size() >= count; }, 10000);
    }
};
} // namespace

TEST_F(UpdatesTabTest, BeforeTheFirstCheckTheSwitchIsOnAndThereIsNoCaption) {
    UpdatesSettingsView& tab = showTab();
    EXPECT_TRUE(tab.automaticSwitch()->isChecked());
    EXPECT_EQ(tab.automaticSwitch()->accessibleName(), L("updates.automatic.title"));
    EXPECT_FALSE(tab.manualRow()->subtitleLabel()->isVisible());
    EXPECT_EQ(tab.checkNowButton()->text(), L("updates.manual.button"));
    EXPECT_FALSE(tab.progressIndicator()->isVisible());
}

TEST_F(UpdatesTabTest, CheckingNowShowsTheIndicatorUntilTheCheckEndsThenTheDate) {
    UpdatesSettingsView& tab = showTab();
    tab.checkNowButton()->click();
    EXPECT_TRUE(tab.isChecking());
    EXPECT_TRUE(tab.progressIndicator()->isVisible());
    EXPECT_TRUE(tab.checkNowButton()->text().isEmpty());
    EXPECT_TRUE(tab.checkNowButton()->isEnabled());

    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_FALSE(tab.isChecking());
    EXPECT_FALSE(tab.progressIndicator()->isVisible());
    EXPECT_EQ(tab.checkNowButton()->text(), L("updates.manual.button"));
    const auto date = services->get<VersionCheckService>().lastSuccessfulCheckDate();
    ASSERT_TRUE(date);
    EXPECT_LT(date->secsTo(QDateTime::currentDateTimeUtc()), 60);
    EXPECT_TRUE(tab.lastCheckedText().startsWith(L("updates.lastChecked") + QStringLiteral(": ")));
    EXPECT_TRUE(tab.lastCheckedText().contains(QString::number(date->toLocalTime().date().year())));
    EXPECT_EQ(tab.manualRow()->subtitleLabel()->text(), tab.lastCheckedText());
    EXPECT_TRUE(tab.manualRow()->subtitleLabel()->isVisible());
    EXPECT_GE(fitRequests, 1);
    // The user asked: the up-to-date alert.
    ASSERT_EQ(dialogs->alerts.size(), 1);
    EXPECT_EQ(dialogs->alerts[0].messageText, L("updates.alert.upToDate.title"));
}

TEST_F(UpdatesTabTest, AFailedCheckClearsTheIndicatorAndKeepsTheCaption) {
    const QLocale saved;
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime earlier(QDate(2026, 1, 2), QTime(8, 30), Qt::LocalTime);
    defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), earlier.toUTC());
    const QString caption =
        L("updates.lastChecked") + QStringLiteral(": Friday, January 2, 2026 at 8:30\u202FAM");
    UpdatesSettingsView& tab = showTab();
    EXPECT_EQ(tab.lastCheckedText(), caption);
    server.response.status = 404;
    server.response.body = "<html><body>Not Found</body></html>";
    tab.checkNowButton()->click();
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_FALSE(tab.isChecking());
    EXPECT_FALSE(tab.progressIndicator()->isVisible());
    EXPECT_EQ(tab.lastCheckedText(), caption);
    EXPECT_EQ(dialogs->alerts.size(), 1);
}

TEST_F(UpdatesTabTest, TheCaptionIsTheFullDateAndShortTimeInTheLocalesOwnWords) {
    const QDateTime checked(QDate(2026, 3, 5), QTime(14, 7), Qt::LocalTime);
    defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), checked.toUTC());
    const QLocale saved;
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
    const struct {
        QLocale::Language language;
        QLocale::Territory territory;
        QString when;
    } cases[] = {
        {QLocale::English, QLocale::UnitedStates,
         QStringLiteral("Thursday, March 5, 2026 at 2:07\u202FPM")},
        {QLocale::German, QLocale::Germany, QStringLiteral("Donnerstag, 5. März 2026 um 14:07")},
    };
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(c.language, c.territory));
        UpdatesSettingsView& tab = showTab();
        EXPECT_EQ(tab.manualRow()->subtitleLabel()->text(),
                  L("updates.lastChecked") + QStringLiteral(": ") + c.when);
    }
}

TEST_F(UpdatesTabTest, AnAutomaticCheckEndingMeanwhileAlsoUpdatesTheTab) {
    UpdatesSettingsView& tab = showTab();
    // The tab's own check hangs on a server that never answers.
    LocalHttpServer stalled;
    stalled.response.stall = true;
    pointChecksAt(stalled.url());
    services->get<VersionCheckService>().setRequestTimeout(60s);
    tab.checkNowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !stalled.requests.isEmpty(); }));
    EXPECT_TRUE(tab.isChecking());

    pointChecksAt(server.url());
    services->get<VersionCheckService>().checkForUpdates(false);
    ASSERT_TRUE(waitForFinishes(1));
    EXPECT_EQ(finishes[0].value(kRequestedByUserKey), QVariant(false));
    EXPECT_FALSE(tab.isChecking());
    EXPECT_FALSE(tab.progressIndicator()->isVisible());
    EXPECT_FALSE(tab.lastCheckedText().isEmpty());
    EXPECT_TRUE(dialogs->alerts.isEmpty());
}

TEST_F(UpdatesTabTest, TheSwitchAndTheUpdateWindowShowTheSamePreference) {
    UpdatesSettingsView& tab = showTab();
    tab.automaticSwitch()->click();
    EXPECT_FALSE(preferences().autoCheckForUpdates());
    EXPECT_EQ(defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(false));

    VersionInfo info;
    info.insert(kInfoLatestVersion, QStringLiteral("9.0"));
    auto& windows = services->get<UpdateWindowController>();
    windows.showUpdateWindow(info);
    VersionCheckUpdateView* window = windows.currentUpdateView();
    EXPECT_EQ(window->checkingButton()->text(), L("updates.window.enableChecking"));
    window->checkingButton()->click();
    EXPECT_TRUE(preferences().autoCheckForUpdates());
    EXPECT_TRUE(tab.automaticSwitch()->isChecked());
}
