#include "common/Texts.h"
#include "common/WebPages.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class UpdateWindowTest : public ::testing::Test {
protected:
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();

    UpdateWindowController& controller() { return services->get<UpdateWindowController>(); }
    PeloraUpdatePreferences& preferences() { return services->get<PeloraUpdatePreferences>(); }
    VersionCheckUpdateView* show(const char* version, const char* download = nullptr,
                                 const char* title = nullptr) {
        VersionInfo info{{kInfoLatestVersion, QString::fromLatin1(version)}};
        if (download)
            info.insert(kInfoDownloadUrl, QString::fromLatin1(download));
        if (title)
            info.insert(kInfoTitleText, QString::fromLatin1(title));
        controller().showUpdateWindow(info);
        return controller().currentUpdateView();
    }
};
} // namespace

TEST_F(UpdateWindowTest, TheDocumentsTitleOrElseTheDefaultOneInAFixedWindowInFront) {
    fakes.bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("1.9");
    auto* view = show("2.0", nullptr, "Pelora 2.0");
    QDialog* window = controller().currentUpdateWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Pelora 2.0"));
    EXPECT_EQ(view->titleLabel()->text(), QStringLiteral("Pelora 2.0"));
    EXPECT_GE(fakes.running->currentApplicationActivations, 1);
    // Without texts: the default title, no information.
    view = show("3.1");
    EXPECT_EQ(controller().currentUpdateWindow()->windowTitle(), L("updates.window.defaultTitle"));
    EXPECT_EQ(view->infoLabel(), nullptr);
}

TEST_F(UpdateWindowTest, ReturnOpensTheDownloadPageEscapeOnlyCloses) {
    for (const auto& [key, opened] :
         {std::pair{Qt::Key_Return, QList<QUrl>{QUrl("https://example.org/get?v=2")}},
          std::pair{Qt::Key_Escape, QList<QUrl>{}}}) {
        fakes.workspace->openedURLs.clear();
        show("2.0", "https://example.org/get?v=2");
        QPointer<QDialog> window = controller().currentUpdateWindow();
        QTest::keyClick(window.data(), key);
        EXPECT_EQ(fakes.workspace->openedURLs, opened);
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
        fakes.workspace->openedURLs.clear();
        show("2.0", address)->okButton()->click();
        EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{opened}) << (address ? address : "none");
    }
}

TEST_F(UpdateWindowTest, EachWindowsButtonsActOnThatWindow) {
    auto* first = show("2.0", "https://a.org/");
    QPointer<QDialog> firstWindow = controller().currentUpdateWindow();
    show("2.1", "https://b.org/");
    QPointer<QDialog> secondWindow = controller().currentUpdateWindow();
    ASSERT_NE(firstWindow, secondWindow);
    // Cancel in the older window closes it, not the newer one.
    first->cancelButton()->click();
    EXPECT_FALSE(firstWindow && firstWindow->isVisible());
    EXPECT_TRUE(secondWindow->isVisible());
    controller().currentUpdateView()->okButton()->click();
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{QUrl("https://b.org/")});
    EXPECT_EQ(controller().currentUpdateWindow(), nullptr);
}

TEST_F(UpdateWindowTest, TheCheckingButtonAndTheStoredPreferenceFollowEachOther) {
    EXPECT_FALSE(fakes.defaults->contains(kAutoCheckForUpdatesKey.key()));
    EXPECT_TRUE(preferences().autoCheckForUpdates());
    // Stored at first use.
    EXPECT_EQ(fakes.defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(true));
    auto* view = show("2.0");
    const QString disable = view->checkingButton()->text();
    view->checkingButton()->click();
    EXPECT_FALSE(preferences().autoCheckForUpdates());
    EXPECT_EQ(fakes.defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(false));
    EXPECT_NE(view->checkingButton()->text(), disable);
    EXPECT_TRUE(controller().currentUpdateWindow()->isVisible());

    // Another writer (the defaults tool) is followed and announced.
    int changes = 0;
    QObject::connect(&preferences(), &PeloraUpdatePreferences::autoCheckForUpdatesChanged,
                     [&](bool) { ++changes; });
    kAutoCheckForUpdatesKey.write(*fakes.defaults, true);
    EXPECT_TRUE(preferences().autoCheckForUpdates());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(view->checkingButton()->text(), disable);
}
