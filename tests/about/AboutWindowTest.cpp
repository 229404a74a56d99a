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
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest() { fakes.bundle->resourcesDir = resources.root(); }
    ~AboutWindowTest() override {
        services.reset();
        drainEvents();
    }

    void writeCredits(const QByteArray& rtf, const char* name = "AboutText.rtf") {
        QDir(resources.root()).removeRecursively();
        QDir().mkpath(resources.root());
        resources.add(QString::fromUtf8(name), rtf);
    }
    // The About window as showAboutWindow leaves it once the event loop has presented it.
    PeloraAboutWindow* shownWindow() {
        showAboutWindow(*services);
        drainEvents();
        return services->get<AboutWindowKeeper>().existingWindow();
    }
    static int aboutWindowCount() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<PeloraAboutWindow*>(w) ? 1 : 0;
        return n;
    }
    // Every character of the document has this foreground colour.
    static void expectForeground(const QTextDocument& doc, const QColor& color) {
        int checked = 0;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it, ++checked)
                EXPECT_EQ(it.fragment().charFormat().foreground().color(), color)
                    << it.fragment().text().toStdString();
        EXPECT_GT(checked, 0);
    }

    TempTree resources;
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
};

const QByteArray kTwoPlaceholders =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Helvetica;}}\\f0 {\\b Pelora <versionString>}\\par "
    "Written for <versionString> and later.\\par}";

} // namespace

TEST_F(AboutWindowTest, ShowingTwiceMakesOneWindowAndBringsItBack) {
    showAboutWindow(*services);
    PeloraAboutWindow* first = services->get<AboutWindowKeeper>().existingWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isVisible()) << "presented on a later turn of the event loop";
    showAboutWindow(*services);
    drainEvents();
    EXPECT_EQ(aboutWindowCount(), 1);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(fakes.running->currentApplicationActivations, 2);
    EXPECT_EQ(first->windowTitle(), L("about.title"));
    EXPECT_EQ(first->minimumSize(), first->maximumSize()) << "not resizable";

    first->close();
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(shownWindow(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST_F(AboutWindowTest, OnlyTheFirstVersionPlaceholderIsReplacedKeepingItsStyle) {
    writeCredits(kTwoPlaceholders);
    fakes.bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("4.2.1");
    AboutView view(*services);
    AboutCreditsTextView* credits = view.creditsView();
    EXPECT_FALSE(credits->showsUnavailableText());
    EXPECT_EQ(credits->toPlainText(),
              QStringLiteral("Pelora 4.2.1\nWritten for <versionString> and later.\n"));
    QTextCursor version = credits->document()->find(QStringLiteral("4.2.1"));
    ASSERT_FALSE(version.isNull());
    EXPECT_EQ(version.charFormat().fontWeight(), QFont::Bold);
    expectForeground(*credits->document(), secondaryTextColor(view.palette()));

    // Without a version in the bundle the placeholders stay; the header shows the fallback.
    fakes.bundle->info.remove(QStringLiteral("CFBundleShortVersionString"));
    AboutView bare(*services);
    EXPECT_EQ(bare.creditsView()->toPlainText().count(QStringLiteral("<versionString>")), 2);
    EXPECT_EQ(bare.versionLabel()->text(), L("about.version").arg(QStringLiteral("27"), "1"));
}

TEST_F(AboutWindowTest, MissingOrBrokenCreditsShowTheUnavailableTextInTheSecondaryColour) {
    const QString unavailable = L("about.credits.unavailable");
    ASSERT_NE(unavailable, QStringLiteral("about.credits.unavailable"));
    {
        AboutView view(*services);
        EXPECT_TRUE(view.creditsView()->showsUnavailableText());
        EXPECT_EQ(view.creditsView()->toPlainText(), unavailable);
        expectForeground(*view.creditsView()->document(), secondaryTextColor(view.palette()));
    }
    // Another extension, not RTF, RTF without text.
    for (const auto& [name, bytes] :
         {std::pair{"AboutText.txt", kTwoPlaceholders},
          std::pair{"AboutText.rtf", QByteArray("<html>hi</html>")},
          std::pair{"AboutText.rtf", QByteArray("{\\rtf1 {\\pict 0}}")}}) {
        writeCredits(bytes, name);
        EXPECT_EQ(AboutView(*services).creditsView()->toPlainText(), unavailable) << name;
    }
}

TEST_F(AboutWindowTest, SecondaryTextFollowsPaletteChanges) {
    writeCredits(kTwoPlaceholders);
    AboutView* view = shownWindow()->view();
    const QColor lightSecondary = secondaryTextColor(view->palette());

    // A desktop switching to a dark theme changes the application's palette.
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
    const QColor darkSecondary = secondaryTextColor(view->palette());
    ASSERT_NE(lightSecondary, darkSecondary);
    EXPECT_GT(darkSecondary.lightness(), 0x2b) << "lighter than the background";
    EXPECT_LT(darkSecondary.lightness(), 0xf2) << "dimmer than the text";
    expectForeground(*view->creditsView()->document(), darkSecondary);
    EXPECT_EQ(view->versionLabel()->palette().color(QPalette::WindowText), darkSecondary);
    EXPECT_EQ(view->copyrightLabel()->palette().color(QPalette::WindowText), darkSecondary);
    EXPECT_EQ(view->nameLabel()->palette().color(QPalette::WindowText), QColor(0xf2, 0xf2, 0xf2));
}

TEST_F(AboutWindowTest, HeaderUsesTheInfoDictionaryWithFallbacks) {
    auto& info = fakes.bundle->info;
    info = {{QStringLiteral("CFBundleName"), QStringLiteral("Pelora Beta")},
            {QStringLiteral("CFBundleDisplayName"), QStringLiteral("Pelora ✦")},
            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.0")},
            {QStringLiteral("CFBundleVersion"), QStringLiteral("%1")},
            {QStringLiteral("NSHumanReadableCopyright"), QStringLiteral("© Someone")}};
    {
        AboutView view(*services);
        EXPECT_EQ(view.nameLabel()->text(), QStringLiteral("Pelora ✦"));
        // A build that looks like a placeholder is shown as written.
        EXPECT_EQ(view.versionLabel()->text(), L("about.version").arg(QStringLiteral("2.0"), "%1"));
        EXPECT_EQ(view.copyrightLabel()->text(), QStringLiteral("© Someone"));
    }
    info.remove(QStringLiteral("CFBundleDisplayName"));
    EXPECT_EQ(AboutView(*services).nameLabel()->text(), QStringLiteral("Pelora Beta"));
    info.clear();
    AboutView bare(*services);
    EXPECT_EQ(bare.nameLabel()->text(), QStringLiteral("Pelora"));
    EXPECT_TRUE(bare.copyrightLabel()->text().contains(QStringLiteral("Pelora")));
}

TEST_F(AboutWindowTest, IconIsTheBundlesLargestRenditionOrTheStandIn) {
    auto& iconName = fakes.bundle->info[QStringLiteral("CFBundleIconName")];
    auto shows = [&](const QString& name) {
        iconName = name;
        AboutView view(*services);
        EXPECT_FALSE(view.iconLabel()->pixmap().isNull()) << "a stand-in at least";
        return std::pair{view.showsApplicationIcon(), view.iconLabel()->pixmap().toImage()};
    };
    resources.add(QStringLiteral("Broken.png"), "not a picture");
    EXPECT_FALSE(shows(QString()).first);
    EXPECT_FALSE(shows(QStringLiteral("NoSuchIcon")).first);
    EXPECT_FALSE(shows(QStringLiteral("Broken")).first);

    // The program's own icon, compiled in.
    const auto [own, ownImage] = shows(QStringLiteral("AppIcon"));
    EXPECT_TRUE(own);
    EXPECT_EQ(ownImage.convertToFormat(QImage::Format_ARGB32),
              QIcon(QStringLiteral(":/icons/AppIcon.svg"))
                  .pixmap(128, 128)
                  .toImage()
                  .convertToFormat(QImage::Format_ARGB32));

    // A bitmap icon in the bundle: drawn from its own pixels, scaled down to 128.
    QImage big(512, 512, QImage::Format_ARGB32);
    big.fill(QColor(200, 40, 40));
    ASSERT_TRUE(big.save(resources.path(QStringLiteral("Custom.png"))));
    const auto [custom, customImage] = shows(QStringLiteral("Custom"));
    EXPECT_TRUE(custom);
    EXPECT_EQ(customImage.size(), QSize(128, 128));
    EXPECT_EQ(customImage.pixelColor(64, 64), QColor(200, 40, 40));
}

TEST_F(AboutWindowTest, LinksOpenTheMakersPagesAndWebLinksOfTheCredits) {
    writeCredits("{\\rtf1 See {\\field{\\*\\fldinst HYPERLINK \"https://www.qt.io/\"}"
                 "{\\fldrslt Qt}} and {\\field{\\*\\fldinst HYPERLINK \"file:///etc/passwd\"}"
                 "{\\fldrslt this}}.}");
    PeloraAboutWindow* window = shownWindow();
    const QList<LinkButton*> links = window->view()->links();
    ASSERT_EQ(links.size(), 3);
    EXPECT_EQ(links[0]->text(), L("about.link.website"));
    EXPECT_EQ(links[1]->text(), L("about.link.privacy"));
    EXPECT_EQ(links[2]->text(), L("about.link.support"));
    for (LinkButton* link : links)
        QTest::mouseClick(link, Qt::LeftButton);
    const QString site = QStringLiteral("https://" PELORA_WEB_HOST "/");
    EXPECT_EQ(fakes.workspace->openedURLs,
              (QList<QUrl>{QUrl(site), QUrl(site + QStringLiteral("privacy/")),
                           QUrl(site + QStringLiteral("support/"))}));

    fakes.workspace->openedURLs.clear();
    AboutCreditsTextView* credits = window->view()->creditsView();
    Q_EMIT credits->anchorClicked(QUrl(QStringLiteral("https://www.qt.io/")));
    Q_EMIT credits->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{QUrl(QStringLiteral("https://www.qt.io/"))});
    QTextCursor qt = credits->document()->find(QStringLiteral("Qt"));
    ASSERT_FALSE(qt.isNull());
    EXPECT_EQ(qt.charFormat().anchorHref(), QStringLiteral("https://www.qt.io/"));
    EXPECT_TRUE(qt.charFormat().fontUnderline());
}

// The shipped credits, read through the same code the program uses.
TEST_F(AboutWindowTest, TheShippedCreditsNameEveryLibraryAndCarryTheVersion) {
    fakes.bundle->resourcesDir = sourcePath(QStringLiteral("resources/bundle"));
    const QString text = AboutView(*services).creditsView()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Pelora 1.0.0\n"))) << text.left(40).toStdString();
    for (const char* name : {"Qt 6", "GLib", "GIO", "libxcb", "xcb-util-wm", "GoogleTest",
                             "Google Benchmark", "Adwaita", "LGPL-3.0", "LGPL-2.1-or-later", "MIT",
                             "BSD 3-Clause", "Apache-2.0", "CC BY-SA 3.0"})
        EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
    for (QChar markup : {u'\\', u'{'})
        EXPECT_FALSE(text.contains(markup)) << "no markup leaks into the text";
}
