#include "common/Texts.h"
#include "common/WebPages.h"
#include "composition/PeloraServices.h"
#include "settings/GeneralSettingsView.h"
#include "settings/PeloraSettingsView.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWidgets.h"
#include "settings/SettingsWindowController.h"
#include "settings/ShortcutsSettingsSection.h"
#include "settings/UpdateWindowController.h"
#include "settings/UpdatesSettingsView.h"
#include "settings/VersionCheckService.h"
#include "settings/VersionCheckUpdateView.h"
#include "strip/ModuleShortcuts.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QKeySequenceEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
class SettingsTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    PeloraServices services{fakes.platform()};
    int fitRequests = 0;

    PeloraUpdatePreferences& preferences = services.updatePreferences;
    UpdateWindowController& updates = services.updateWindows;
    VersionCheckService& versionCheck = services.versionCheck;
    // Its window is made on first use, after the test has stored what it should find.
    SettingsWindowController& controller = services.settings;
    template <class Tab, class... Args> std::unique_ptr<Tab> shownTab(Args&... args) {
        auto tab = std::make_unique<Tab>(args...);
        QObject::connect(tab.get(), &Tab::fitRequested, [this] { ++fitRequests; });
        tab->show();
        return tab;
    }
    VersionCheckUpdateView* showUpdate(const char* version, const char* download = nullptr) {
        VersionInfo info{{kInfoLatestVersion, QString::fromLatin1(version)}};
        if (download)
            info.insert(kInfoDownloadUrl, QString::fromLatin1(download));
        updates.showUpdateWindow(info);
        return updates.currentUpdateView();
    }
};

} // namespace

TEST_F(SettingsTest, OpeningShowsOneWindowThatIsReopenedOnTheStoredTab) {
    fakes.defaults->setObject(kSettingsSelectedTabKey.key(), qint64(7)); // no such tab
    controller.openSettingsWindow();
    QMainWindow* window = controller.existingSettingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), L("settingsTabGeneralTitle"));

    window->close();
    controller.openSettingsWindow();
    controller.openSettingsWindow();
    EXPECT_EQ(controller.existingSettingsWindow(), window);
    EXPECT_TRUE(window->isVisible());

    // The stored tab chooses the content, also when someone else writes it; any other value
    // means General.
    PeloraSettingsView* view = controller.settingsView();
    for (const auto& [stored, tab] :
         {std::pair{1, PeloraSettingsView::updates}, std::pair{-1, PeloraSettingsView::general}}) {
        fakes.defaults->setObject(kSettingsSelectedTabKey.key(), qint64(stored));
        EXPECT_EQ(view->generalView()->isVisible(), tab == PeloraSettingsView::general);
        EXPECT_EQ(view->updatesView()->isVisible(), tab == PeloraSettingsView::updates);
        EXPECT_EQ(window->windowTitle(), PeloraSettingsView::tabTitle(tab));
    }
}

TEST_F(SettingsTest, TheUpdatesTabShowsTheCheckUnderWayAndTheLastSuccessInTheLocalesWords) {
    const QLocale saved;
    const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto tab = shownTab<UpdatesSettingsView>(preferences, versionCheck);
    tab->checkNowButton()->click();
    EXPECT_TRUE(tab->progressIndicator()->isVisible());
    EXPECT_TRUE(tab->checkNowButton()->text().isEmpty());
    // This build asks no server: the check fails, and no caption comes.
    ASSERT_TRUE(waitUntil([&] { return !tab->progressIndicator()->isVisible(); }, 30000));
    EXPECT_FALSE(tab->checkNowButton()->text().isEmpty());
    EXPECT_FALSE(tab->manualRow()->subtitleLabel()->isVisible());
    EXPECT_GE(fitRequests, 1);

    // Any check's success, an automatic one too, shows its date.
    const QDateTime checked(QDate(2026, 3, 5), QTime(14, 7));
    fakes.defaults->setObject(kLastSuccessfulUpdateCheckDateKey.key(), checked.toUTC());
    Q_EMIT versionCheck.checkFinished({});
    EXPECT_TRUE(tab->manualRow()->subtitleLabel()->isVisible());
    EXPECT_EQ(tab->manualRow()->subtitleLabel()->text(),
              QStringLiteral("Last checked: Thursday, March 5, 2026 at 2:07\u202FPM"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    tab = shownTab<UpdatesSettingsView>(preferences, versionCheck);
    EXPECT_EQ(tab->manualRow()->subtitleLabel()->text(),
              QStringLiteral("Last checked: Donnerstag, 5. März 2026 um 14:07"));
}

TEST_F(SettingsTest, TheLoginSwitchFollowsTheServiceAsksOnlyForRealChangesAndShowsRefusals) {
    const std::pair<LoginItemStatus, bool> states[] = {
        {LoginItemStatus::requiresApproval, true},
        {LoginItemStatus::enabled, true},
        {LoginItemStatus::notRegistered, false},
        {LoginItemStatus::notFound, false},
    };
    auto tab = shownTab<GeneralSettingsView>(*fakes.bundle, *fakes.defaults, *fakes.loginItems);
    for (const auto& [status, on] : states) {
        // Each showing reads the service again.
        fakes.loginItems->currentStatus = status;
        tab->hide();
        tab->show();
        EXPECT_EQ(tab->launchAtLoginSwitch()->isChecked(), on);
        EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(),
                  L(status == LoginItemStatus::requiresApproval
                        ? "settings.launchAtLogin.approval"
                        : "settings.launchAtLogin.subtitle"));
        EXPECT_EQ(tab->applyLaunchAtLogin(on), std::nullopt);
    }
    EXPECT_EQ(fakes.loginItems->registerCalls + fakes.loginItems->unregisterCalls, 0);

    // A registration awaiting approval is no failure.
    fakes.loginItems->approvalNeeded = true;
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(fakes.loginItems->registerCalls, 1);
    EXPECT_TRUE(tab->launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab->failureMessage().isEmpty());
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(fakes.loginItems->unregisterCalls, 1);
    EXPECT_FALSE(tab->launchAtLoginSwitch()->isChecked());

    // A refused change shows the failure in place of the subtitle until the next success or
    // the next showing.
    drainEvents();
    fitRequests = 0;
    fakes.loginItems->failure = LoginItemError{QStringLiteral("refused")};
    tab->launchAtLoginSwitch()->click();
    EXPECT_FALSE(tab->launchAtLoginSwitch()->isChecked());
    // The bundle lies in /Applications; elsewhere the text explains where it belongs.
    EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(), L("settings.launchAtLogin.failed"));
    EXPECT_EQ(fitRequests, 1);
    tab->close();
    tab->show();
    EXPECT_TRUE(tab->failureMessage().isEmpty());
    fakes.bundle->path = QStringLiteral("/tmp/Downloads/Pelora.app");
    tab->launchAtLoginSwitch()->click();
    EXPECT_EQ(tab->launchAtLoginRow()->subtitleLabel()->text(),
              L("alertMustBeInApplicationsFolderMessage"));
    fakes.loginItems->failure.reset();
    tab->launchAtLoginSwitch()->click();
    EXPECT_TRUE(tab->launchAtLoginSwitch()->isChecked());
    EXPECT_TRUE(tab->failureMessage().isEmpty());
}

TEST_F(SettingsTest, ReturnOpensOnlyAWebAddressElseTheHomePageAndEscapeOnlyCloses) {
    const QUrl home = peloraHomePageURL();
    std::vector<std::tuple<const char*, Qt::Key, QList<QUrl>>> cases{
        {"https://example.org/get?v=2", Qt::Key_Return, {QUrl("https://example.org/get?v=2")}},
        {"HTTP://example.org/dl", Qt::Key_Return, {QUrl("http://example.org/dl")}},
        {"https://example.org/get?v=2", Qt::Key_Escape, {}}};
    for (const char* address : {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)",
                                "mailto:someone@example.org", "ssh://host/", "not a url at all",
                                "https://", static_cast<const char*>(nullptr)})
        cases.emplace_back(address, Qt::Key_Return, QList<QUrl>{home});
    for (const auto& [address, key, opened] : cases) {
        fakes.workspace->openedURLs.clear();
        showUpdate("2.0", address);
        QPointer<QDialog> window = updates.currentUpdateWindow();
        EXPECT_TRUE(window->isVisible());
        QTest::keyClick(window.data(), key);
        EXPECT_EQ(fakes.workspace->openedURLs, opened) << (address ? address : "none");
        EXPECT_FALSE(window && window->isVisible());
        EXPECT_EQ(updates.currentUpdateWindow(), nullptr);
    }
    // Each opening brings the program to the front; a document without texts has a title.
    EXPECT_EQ(fakes.running->currentApplicationActivations, int(cases.size()));
    showUpdate("3.1");
    EXPECT_EQ(updates.currentUpdateWindow()->windowTitle(), L("updates.window.defaultTitle"));
}

TEST_F(SettingsTest, TheSwitchTheUpdateWindowsButtonAndTheStoredPreferenceFollowEachOther) {
    auto tab = shownTab<UpdatesSettingsView>(preferences, versionCheck);
    EXPECT_TRUE(tab->automaticSwitch()->isChecked()) << "absent means on";
    // Stored at first use.
    EXPECT_EQ(fakes.defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(true));
    auto* view = showUpdate("2.0");
    const QString disable = view->checkingButton()->text();
    view->checkingButton()->click();
    EXPECT_EQ(fakes.defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(false));
    EXPECT_NE(view->checkingButton()->text(), disable);
    EXPECT_FALSE(tab->automaticSwitch()->isChecked());
    EXPECT_TRUE(updates.currentUpdateWindow()->isVisible());
    tab->automaticSwitch()->click();
    EXPECT_TRUE(preferences.autoCheckForUpdates());
    EXPECT_EQ(view->checkingButton()->text(), disable);
    kAutoCheckForUpdatesKey.write(*fakes.defaults, false);
    // Another writer (the defaults tool) is followed and announced.
    int changes = 0;
    QObject::connect(&preferences, &PeloraUpdatePreferences::autoCheckForUpdatesChanged,
                     [&](bool) { ++changes; });
    kAutoCheckForUpdatesKey.write(*fakes.defaults, true);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(view->checkingButton()->text(), disable);
    EXPECT_TRUE(tab->automaticSwitch()->isChecked());
}

TEST_F(SettingsTest, ShortcutRecordersStoreTheKeyPressedAndFollowTheStoredKey) {
    controller.openSettingsWindow();
    auto* section = controller.existingSettingsWindow()->findChild<ShortcutsSettingsSection*>();
    ASSERT_NE(section, nullptr);
    QKeySequenceEdit* documents = section->recorder(StripModule::documents);
    EXPECT_EQ(section->recorder(StripModule::clipboard)->keySequence(),
              QKeySequence(QStringLiteral("Meta+Shift+V")));

    documents->setFocus();
    QTest::keyClick(documents, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    const QVariantMap stored =
        fakes.defaults->objectForKey(ModuleShortcuts::key).value_or(QVariant()).toMap();
    EXPECT_EQ(stored.value("documents").toString(), "Ctrl+Alt+D");
    EXPECT_EQ(stored.value("clipboard").toString(), "Meta+Shift+V");

    // Written elsewhere (the defaults tool): shown, and where the desktop binds keys itself,
    // the row says what to bind.
    fakes.defaults->setObject(ModuleShortcuts::key, QVariantMap{{"windows", "Alt+F9"}});
    EXPECT_TRUE(documents->keySequence().isEmpty());
    EXPECT_EQ(section->recorder(StripModule::windows)->keySequence(),
              QKeySequence(QStringLiteral("Alt+F9")));
    fakes.globalShortcuts->setShortcuts({{"windows", QKeySequence(QStringLiteral("Alt+F9"))}});
    EXPECT_THAT(section->row(StripModule::windows)->subtitleLabel()->text().toStdString(),
                ::testing::HasSubstr("popup --toggle windows"));
    EXPECT_TRUE(section->row(StripModule::documents)->subtitleLabel()->text().isEmpty());
}
