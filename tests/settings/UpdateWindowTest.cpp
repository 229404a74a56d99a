#include "SettingsTestSupport.h"
#include "common/Texts.h"
#include "common/WebPages.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
class UpdateWindowTest : public SettingsTest {
protected:
    UpdateWindowController& controller() { return services->get<UpdateWindowController>(); }
    PeloraUpdatePreferences& preferences() { return services->get<PeloraUpdatePreferences>(); }
    VersionCheckUpdateView* show(const VersionInfo& info) {
        controller().showUpdateWindow(info);
        return controller().currentUpdateView();
    }
    static VersionInfo info(std::initializer_list<std::pair<const char*, const char*>> entries) {
        VersionInfo result;
        for (const auto& [k, v] : entries)
            result.insert(QString::fromLatin1(k), QString::fromUtf8(v));
        return result;
    }
};
} // namespace

TEST_F(UpdateWindowTest, ShowsTheDocumentsTextsInAFixedWindow) {
    bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.9");
    auto* view = show(info({{kInfoLatestVersion, "2.0"},
                            {kInfoTitleText, "Pelora 2.0"},
                            {kInfoInfoText, "Favorites can be sorted."}}));
    ASSERT_NE(view, nullptr);
    QDialog* window = controller().currentUpdateWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Pelora 2.0"));
    EXPECT_EQ(view->titleLabel()->text(), QStringLiteral("Pelora 2.0"));
    EXPECT_EQ(view->versionLineLabel()->text(),
              L("updates.window.versionLine").arg(QStringLiteral("2.0"), QStringLiteral("1.9")));
    ASSERT_NE(view->infoLabel(), nullptr);
    EXPECT_EQ(view->infoLabel()->text(), QStringLiteral("Favorites can be sorted."));
    EXPECT_EQ(view->checkingButton()->text(), L("updates.window.disableChecking"));
    EXPECT_EQ(view->checkingButton()->toolTip(), L("updates.window.disableChecking.tip"));
    EXPECT_GE(running->currentApplicationActivations, 1);
}

TEST_F(UpdateWindowTest, MissingTextsUseTheDefaultTitleAndLeaveTheInformationOut) {
    bundle->info.remove(QStringLiteral("CFBundleShortVersionString"));
    auto* view = show(info({{kInfoLatestVersion, "3.1"}}));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(controller().currentUpdateWindow()->windowTitle(), L("updates.window.defaultTitle"));
    EXPECT_EQ(view->titleLabel()->text(), L("updates.window.defaultTitle"));
    EXPECT_EQ(view->versionLineLabel()->text(),
              L("updates.window.versionLine").arg(QStringLiteral("3.1"), QString()));
    EXPECT_EQ(view->infoLabel(), nullptr);
}

TEST_F(UpdateWindowTest, ReturnOpensTheDownloadPageEscapeOnlyCloses) {
    for (const auto& [key, opened] :
         {std::pair{Qt::Key_Return, QList<QUrl>{QUrl("https://example.org/get?v=2")}},
          std::pair{Qt::Key_Escape, QList<QUrl>{}}}) {
        workspace->openedURLs.clear();
        show(
            info({{kInfoLatestVersion, "2.0"}, {kInfoDownloadUrl, "https://example.org/get?v=2"}}));
        QPointer<QDialog> window = controller().currentUpdateWindow();
        QTest::keyClick(window.data(), key);
        EXPECT_EQ(workspace->openedURLs, opened);
        EXPECT_EQ(controller().currentUpdateWindow(), nullptr);
        EXPECT_FALSE(window && window->isVisible());
    }
}

TEST_F(UpdateWindowTest, OnlyWebAddressesAreOpenedAnythingElseOpensTheHomePage) {
    const QUrl home = peloraHomePageURL();
    const std::pair<const char*, QUrl> cases[] = {
        {"file:///etc/passwd", home},
        {"/usr/bin/xterm", home},
        {"javascript:alert(1)", home},
        {"mailto:someone@example.org", home},
        {"ssh://host/", home},
        {"not a url at all", home},
        {"https://", home},
        {nullptr, home},
        {"HTTP://example.org/dl", QUrl("http://example.org/dl")},
    };
    for (const auto& [address, opened] : cases) {
        workspace->openedURLs.clear();
        VersionInfo document = info({{kInfoLatestVersion, "2.0"}});
        if (address)
            document.insert(kInfoDownloadUrl, QString::fromLatin1(address));
        show(document)->okButton()->click();
        EXPECT_EQ(workspace->openedURLs, QList<QUrl>{opened}) << (address ? address : "none");
    }
}

TEST_F(UpdateWindowTest, TheCheckingButtonFlipsThePreferenceAndFollowsIt) {
    auto* view = show(info({{kInfoLatestVersion, "2.0"}}));
    ASSERT_TRUE(preferences().autoCheckForUpdates());
    view->checkingButton()->click();
    EXPECT_FALSE(preferences().autoCheckForUpdates());
    EXPECT_EQ(defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(false));
    EXPECT_EQ(view->checkingButton()->text(), L("updates.window.enableChecking"));
    EXPECT_EQ(view->checkingButton()->toolTip(), L("updates.window.enableChecking.tip"));
    EXPECT_TRUE(controller().currentUpdateWindow()->isVisible());

    // A change made elsewhere shows here too.
    preferences().setAutoCheckForUpdates(true);
    EXPECT_EQ(view->checkingButton()->text(), L("updates.window.disableChecking"));
}

TEST_F(UpdateWindowTest, EachWindowsButtonsActOnThatWindow) {
    auto* first = show(info({{kInfoLatestVersion, "2.0"}, {kInfoDownloadUrl, "https://a.org/"}}));
    QPointer<QDialog> firstWindow = controller().currentUpdateWindow();
    show(info({{kInfoLatestVersion, "2.1"}, {kInfoDownloadUrl, "https://b.org/"}}));
    QPointer<QDialog> secondWindow = controller().currentUpdateWindow();
    ASSERT_NE(firstWindow, secondWindow);

    // Cancel in the older window closes it, not the newer one.
    first->cancelButton()->click();
    EXPECT_FALSE(firstWindow && firstWindow->isVisible());
    EXPECT_TRUE(secondWindow->isVisible());
    EXPECT_EQ(controller().currentUpdateWindow(), secondWindow);

    controller().currentUpdateView()->okButton()->click();
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{QUrl("https://b.org/")});
    EXPECT_EQ(controller().currentUpdateWindow(), nullptr);
}

TEST_F(SettingsTest, UpdatePreferencesStoreOnAtFirstUseAndKeepAStoredChoice) {
    EXPECT_FALSE(defaults->contains(kAutoCheckForUpdatesKey.key()));
    EXPECT_TRUE(services->get<PeloraUpdatePreferences>().autoCheckForUpdates());
    EXPECT_EQ(defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(true));

    kAutoCheckForUpdatesKey.write(*defaults, false);
    makeServices();
    auto& preferences = services->get<PeloraUpdatePreferences>();
    EXPECT_FALSE(preferences.autoCheckForUpdates());
    // Another writer (the defaults tool) is followed and announced.
    int changes = 0;
    QObject::connect(&preferences, &PeloraUpdatePreferences::autoCheckForUpdatesChanged,
                     [&](bool) { ++changes; });
    kAutoCheckForUpdatesKey.write(*defaults, true);
    EXPECT_TRUE(preferences.autoCheckForUpdates());
    EXPECT_EQ(changes, 1);
}
