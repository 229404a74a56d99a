#include "common/Texts.h"
#include "common/WebPages.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckUpdateView.h"
#include "support/FakePlatform.h"
#include "support/TestSupport.h"

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
    VersionCheckUpdateView* show(const char* version, const char* download = nullptr) {
        VersionInfo info{{kInfoLatestVersion, QString::fromLatin1(version)}};
        if (download)
            info.insert(kInfoDownloadUrl, QString::fromLatin1(download));
        controller().showUpdateWindow(info);
        return controller().currentUpdateView();
    }
};
} // namespace

TEST_F(UpdateWindowTest, ReturnOpensOnlyAWebAddressElseTheHomePageAndEscapeOnlyCloses) {
    const QUrl home = peloraHomePageURL();
    const struct {
        const char* address;
        Qt::Key key;
        QList<QUrl> opened;
    } cases[] = {
        {"https://example.org/get?v=2", Qt::Key_Return, {QUrl("https://example.org/get?v=2")}},
        {"HTTP://example.org/dl", Qt::Key_Return, {QUrl("http://example.org/dl")}},
        {"https://example.org/get?v=2", Qt::Key_Escape, {}},
        {"file:///etc/passwd", Qt::Key_Return, {home}},
        {"/usr/bin/xterm", Qt::Key_Return, {home}},
        {"javascript:alert(1)", Qt::Key_Return, {home}},
        {"mailto:someone@example.org", Qt::Key_Return, {home}},
        {"ssh://host/", Qt::Key_Return, {home}},
        {"not a url at all", Qt::Key_Return, {home}},
        {"https://", Qt::Key_Return, {home}},
        {nullptr, Qt::Key_Return, {home}},
    };
    for (const auto& c : cases) {
        fakes.workspace->openedURLs.clear();
        show("2.0", c.address);
        QPointer<QDialog> window = controller().currentUpdateWindow();
        EXPECT_TRUE(window->isVisible());
        QTest::keyClick(window.data(), c.key);
        EXPECT_EQ(fakes.workspace->openedURLs, c.opened) << (c.address ? c.address : "none");
        EXPECT_FALSE(window && window->isVisible());
        EXPECT_EQ(controller().currentUpdateWindow(), nullptr);
    }
    // Each opening brings the program to the front; a document without texts has a title.
    EXPECT_EQ(fakes.running->currentApplicationActivations, int(std::size(cases)));
    show("3.1");
    EXPECT_EQ(controller().currentUpdateWindow()->windowTitle(), L("updates.window.defaultTitle"));
}

TEST_F(UpdateWindowTest, TheCheckingButtonAndTheStoredPreferenceFollowEachOther) {
    EXPECT_TRUE(preferences().autoCheckForUpdates());
    // Stored at first use.
    EXPECT_EQ(fakes.defaults->objectForKey(kAutoCheckForUpdatesKey.key()), QVariant(true));
    auto* view = show("2.0");
    const QString disable = view->checkingButton()->text();
    view->checkingButton()->click();
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
