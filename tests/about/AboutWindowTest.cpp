#include "about/AboutWindow.h"
#include "about/AboutCreditsTextView.h"
#include "about/AboutStyle.h"
#include "about/AboutView.h"
#include "about/LinkButton.h"
#include "common/Texts.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest() { fakes.bundle->resourcesDir = resources.root(); }
    ~AboutWindowTest() override {
        services.reset();
        drainEvents();
    }
    void writeCredits(const QByteArray& rtf, const QString& name = "AboutText.rtf") {
        QFile::remove(resources.path("AboutText.rtf"));
        resources.add(name, rtf);
    }
    QString credits() { return AboutView(*services).creditsView()->toPlainText(); }

    TempTree resources;
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
};

const QByteArray kTwoPlaceholders =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Helvetica;}}\\f0 {\\b Pelora <versionString>}\\par "
    "Written for <versionString> and later.\\par}";
} // namespace

TEST_F(AboutWindowTest, ShowingTwiceMakesOneWindowAndBringsItBackAfterClosing) {
    showAboutWindow(*services);
    PeloraAboutWindow* window = services->get<AboutWindowKeeper>().existingWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible()) << "presented on a later turn of the event loop";
    showAboutWindow(*services);
    drainEvents();
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows += qobject_cast<PeloraAboutWindow*>(w) != nullptr;
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(fakes.running->currentApplicationActivations, 2);
    window->close();
    showAboutWindow(*services);
    drainEvents();
    EXPECT_EQ(services->get<AboutWindowKeeper>().existingWindow(), window);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(AboutWindowTest, HeaderAndCreditsShowTheBundlesNameAndVersionWithFallbacks) {
    writeCredits(kTwoPlaceholders);
    auto& info = fakes.bundle->info;
    info = {{"CFBundleName", "Pelora Beta"},
            {"CFBundleDisplayName", "Pelora ✦"},
            {"CFBundleShortVersionString", "4.2"},
            {"CFBundleVersion", "%1"},
            {"NSHumanReadableCopyright", "© Someone"}};
    {
        AboutView view(*services);
        EXPECT_EQ(view.nameLabel()->text(), QStringLiteral("Pelora ✦"));
        // A build that looks like a placeholder is shown as written.
        EXPECT_EQ(view.versionLabel()->text(), L("about.version").arg("4.2", "%1"));
        EXPECT_EQ(view.copyrightLabel()->text(), QStringLiteral("© Someone"));
        // Only the first placeholder of the credits is the version, in its own style.
        EXPECT_EQ(view.creditsView()->toPlainText(),
                  QStringLiteral("Pelora 4.2\nWritten for <versionString> and later.\n"));
        EXPECT_EQ(view.creditsView()->document()->find("4.2").charFormat().fontWeight(),
                  QFont::Bold);
    }
    info.remove("CFBundleDisplayName");
    EXPECT_EQ(AboutView(*services).nameLabel()->text(), QStringLiteral("Pelora Beta"));
    info.clear();
    AboutView bare(*services);
    EXPECT_EQ(bare.nameLabel()->text(), QStringLiteral("Pelora"));
    EXPECT_EQ(bare.versionLabel()->text(), L("about.version").arg("27", "1"));
    EXPECT_TRUE(bare.copyrightLabel()->text().contains("Pelora"));
    EXPECT_EQ(bare.creditsView()->toPlainText().count("<versionString>"), 2);
}

TEST_F(AboutWindowTest, MissingOrBrokenCreditsShowTheUnavailableText) {
    const QString unavailable = L("about.credits.unavailable");
    ASSERT_NE(unavailable, QStringLiteral("about.credits.unavailable")) << "a text, not its key";
    EXPECT_EQ(credits(), unavailable) << "none";
    for (const auto& [name, bytes] :
         {std::pair{"AboutText.txt", kTwoPlaceholders},
          std::pair{"AboutText.rtf", QByteArray("<html>hi</html>")},
          std::pair{"AboutText.rtf", QByteArray("{\\rtf1 {\\pict 0}}")}}) {
        writeCredits(bytes, name);
        EXPECT_EQ(credits(), unavailable) << name << bytes.constData();
    }
}

TEST_F(AboutWindowTest, TheDimmedTextStaysReadableInADarkTheme) {
    writeCredits(kTwoPlaceholders);
    showAboutWindow(*services);
    drainEvents();
    AboutView* view = services->get<AboutWindowKeeper>().existingWindow()->view();
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf2));
    QApplication::setPalette(dark);
    struct Restore {
        QPalette palette;
        ~Restore() { QApplication::setPalette(palette); }
    } restore{light};
    drainEvents();
    for (const QColor& shown :
         {view->versionLabel()->palette().color(QPalette::WindowText),
          view->copyrightLabel()->palette().color(QPalette::WindowText),
          view->creditsView()->document()->find("Written").charFormat().foreground().color()}) {
        EXPECT_GT(shown.lightness(), (0x2b + 0xf2) / 2) << "nearer the text than the background";
        EXPECT_LT(shown.lightness(), 0xf2) << "dimmer than the text";
    }
}

TEST_F(AboutWindowTest, TheIconIsTheBundlesOwnScaledDownOrAStandIn) {
    auto& iconName = fakes.bundle->info["CFBundleIconName"];
    QImage big(512, 512, QImage::Format_ARGB32);
    big.fill(QColor(200, 40, 40));
    ASSERT_TRUE(big.save(resources.path("Custom.png")));
    resources.add("Broken.png", "not a picture");
    for (const auto& [name, own] :
         {std::pair{"", false}, std::pair{"NoSuchIcon", false}, std::pair{"Broken", false},
          std::pair{"AppIcon", true}, std::pair{"Custom", true}}) {
        iconName = QString::fromUtf8(name);
        AboutView view(*services);
        EXPECT_EQ(view.showsApplicationIcon(), own) << name;
        EXPECT_FALSE(view.iconLabel()->pixmap().isNull()) << name << ": a stand-in at least";
    }
    const QImage shown = AboutView(*services).iconLabel()->pixmap().toImage();
    EXPECT_EQ(shown.size(), QSize(128, 128));
    EXPECT_EQ(shown.pixelColor(64, 64), QColor(200, 40, 40));
}

TEST_F(AboutWindowTest, LinksOpenTheMakersPagesAndTheCreditsWebLinksOnly) {
    writeCredits("{\\rtf1 See {\\field{\\*\\fldinst HYPERLINK \"https://www.qt.io/\"}"
                 "{\\fldrslt Qt}} and {\\field{\\*\\fldinst HYPERLINK \"file:///etc/passwd\"}"
                 "{\\fldrslt this}}.}");
    AboutView view(*services);
    for (LinkButton* link : view.links())
        QTest::mouseClick(link, Qt::LeftButton);
    const QString site = QStringLiteral("https://" PELORA_WEB_HOST "/");
    EXPECT_EQ(fakes.workspace->openedURLs,
              (QList<QUrl>{QUrl(site), QUrl(site + "privacy/"), QUrl(site + "support/")}));

    fakes.workspace->openedURLs.clear();
    AboutCreditsTextView* credits = view.creditsView();
    for (const char* href : {"https://www.qt.io/", "file:///etc/passwd"})
        Q_EMIT credits->anchorClicked(QUrl(href));
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{QUrl("https://www.qt.io/")});
    EXPECT_EQ(credits->document()->find("Qt").charFormat().anchorHref(), "https://www.qt.io/");
}

// The shipped credits, read through the same code the program uses.
TEST_F(AboutWindowTest, TheShippedCreditsNameEveryLibraryAndCarryTheVersion) {
    fakes.bundle->resourcesDir = sourcePath("resources/bundle");
    const QString text = credits();
    EXPECT_TRUE(text.startsWith("Pelora 1.0.0\n")) << text.left(40).toStdString();
    for (const char* name : {"Qt 6", "GLib", "GIO", "libxcb", "xcb-util-wm", "GoogleTest",
                             "Google Benchmark", "Adwaita", "LGPL-3.0", "LGPL-2.1-or-later", "MIT",
                             "BSD 3-Clause", "Apache-2.0", "CC BY-SA 3.0"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(text.contains(u'\\') || text.contains(u'{')) << "no markup leaks into the text";
}
