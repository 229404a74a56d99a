// The shipped credits and licence, read through the same code the program uses, with
// screenshots kept for a look by eye.
#include "about/AboutCreditsTextView.h"
#include "about/AboutView.h"
#include "about/AboutWindow.h"
#include "about/LicenseWindow.h"
#include "common/Services.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class BundledDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = std::make_shared<FakeBundle>();
        bundle->resourcesDir = sourcePath(QStringLiteral("resources/bundle"));
        bundle->info[QStringLiteral("CFBundleIconName")] = QStringLiteral("AppIcon");
        bundle->info[QStringLiteral("NSHumanReadableCopyright")] =
            QStringLiteral("Copyright © 2026 The Pelora developers.");
        Platform platform;
        platform.bundle = bundle;
        platform.workspace = std::make_shared<FakeWorkspace>();
        platform.runningApplications = std::make_shared<FakeRunningApplications>();
        services = std::make_unique<Services>(platform);
        QDir().mkpath(artifacts);
    }
    void TearDown() override {
        services.reset();
        drainEvents();
    }

    const QString artifacts = buildPath(QStringLiteral("test-artifacts/about"));
    std::shared_ptr<FakeBundle> bundle;
    std::unique_ptr<Services> services;
};

} // namespace

TEST_F(BundledDocumentsTest, AboutTextCreditsEveryLibraryAndCarriesTheVersion) {
    showAboutWindow(*services);
    drainEvents();
    PeloraAboutWindow* window = services->get<AboutWindowKeeper>().existingWindow();
    ASSERT_NE(window, nullptr);
    AboutCreditsTextView* credits = window->view()->creditsView();
    ASSERT_FALSE(credits->showsUnavailableText());
    const QString text = credits->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Pelora 1.0.0\n"))) << text.left(40).toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("<versionString>")));
    for (const char* name : {"Qt 6", "GLib", "GIO", "libxcb", "xcb-util-wm", "GoogleTest",
                             "Google Benchmark", "Adwaita", "LGPL-3.0", "LGPL-2.1-or-later", "MIT",
                             "BSD 3-Clause", "Apache-2.0", "CC BY-SA 3.0"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
    // No markup or stray control words leak into the text.
    EXPECT_FALSE(text.contains(u'\\'));
    EXPECT_FALSE(text.contains(u'{'));
    EXPECT_TRUE(window->view()->showsApplicationIcon());

    EXPECT_TRUE(window->grab().save(artifacts + QStringLiteral("/about-light.png")));
    QPalette dark = window->palette();
    dark.setColor(QPalette::Window, QColor(0x26, 0x28, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    window->setPalette(dark);
    EXPECT_TRUE(window->grab().save(artifacts + QStringLiteral("/about-dark.png")));

    bundle->info.remove(QStringLiteral("CFBundleIconName"));
    bundle->resourcesDir.clear();
    AboutView bare(*services);
    EXPECT_TRUE(bare.grab().save(artifacts + QStringLiteral("/about-bare.png")));
}

TEST_F(BundledDocumentsTest, LicenseAgreementReadsWhole) {
    showLicenseWindow(*services);
    LicenseWindow* window = services->get<LicenseWindowKeeper>().window();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->showsUnavailableText());
    const QString text = window->textView()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Pelora License Agreement\n")));
    for (const char* part : {"Permission is hereby granted", "No warranty", "AS IS",
                             "Limitation of liability", "Your data"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    EXPECT_FALSE(text.contains(u'\\'));
    EXPECT_TRUE(window->grab().save(artifacts + QStringLiteral("/license.png")));
    window->resize(window->minimumSize());
    EXPECT_TRUE(window->grab().save(artifacts + QStringLiteral("/license-small.png")));
}
