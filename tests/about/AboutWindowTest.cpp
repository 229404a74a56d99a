#include "about/AboutWindow.h"
#include "about/AboutCreditsTextView.h"
#include "about/AboutStyle.h"
#include "about/AboutView.h"
#include "about/LinkButton.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = std::make_shared<FakeBundle>();
        bundle->resourcesDir = resources.path();
        workspace = std::make_shared<FakeWorkspace>();
        running = std::make_shared<FakeRunningApplications>();
        Platform platform;
        platform.bundle = bundle;
        platform.workspace = workspace;
        platform.runningApplications = running;
        services = std::make_unique<Services>(platform);
    }
    void TearDown() override {
        services.reset();
        drainEvents();
    }

    void writeResource(const QString& fileName, const QByteArray& bytes) {
        QFile file(resources.filePath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // The About window as showAboutWindow leaves it once the event loop has presented it.
    PeloraAboutWindow* shownWindow() {
        showAboutWindow(*services);
        drainEvents();
        return services->get<AboutWindowKeeper>().existingWindow();
    }

    static QList<PeloraAboutWindow*> aboutWindows() {
        QList<PeloraAboutWindow*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<PeloraAboutWindow*>(w))
                found << about;
        }
        return found;
    }

    // Every character of the document has this foreground colour.
    static void expectForeground(const QTextDocument& doc, const QColor& color) {
        int checked = 0;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                EXPECT_EQ(it.fragment().charFormat().foreground().color(), color)
                    << it.fragment().text().toStdString();
                ++checked;
            }
        }
        EXPECT_GT(checked, 0);
    }

    QTemporaryDir resources;
    std::shared_ptr<FakeBundle> bundle;
    std::shared_ptr<FakeWorkspace> workspace;
    std::shared_ptr<FakeRunningApplications> running;
    std::unique_ptr<Services> services;
};

const QByteArray kTwoPlaceholders =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Helvetica;}}\\f0 {\\b Pelora <versionString>}\\par "
    "Written for <versionString> and later.\\par}";

} // namespace

TEST_F(AboutWindowTest, ShowingTwiceMakesOneWindowAndBringsItBack) {
    showAboutWindow(*services);
    PeloraAboutWindow* first = services->get<AboutWindowKeeper>().existingWindow();
    ASSERT_NE(first, nullptr);
    // Presentation waits for a later turn of the event loop.
    EXPECT_FALSE(first->isVisible());
    showAboutWindow(*services);
    drainEvents();
    EXPECT_EQ(aboutWindows(), QList<PeloraAboutWindow*>{first});
    EXPECT_TRUE(first->isVisible());
    // Each showing brings the program forward as well.
    EXPECT_EQ(running->currentApplicationActivations, 2);
    EXPECT_EQ(first->windowTitle(), L("about.title"));
    EXPECT_EQ(first->size(), QSize(500, 600));
    EXPECT_EQ(first->minimumSize(), first->maximumSize()); // not resizable

    // Closing hides; the next request shows the same window again.
    first->close();
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(shownWindow(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(aboutWindows().size(), 1);
}

TEST_F(AboutWindowTest, OnlyControlWClosesTheWindow) {
    PeloraAboutWindow* window = shownWindow();
    ASSERT_TRUE(window && window->isVisible());

    auto press = [&](QWidget* target, Qt::KeyboardModifiers mods) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_W, mods, mods & Qt::ShiftModifier ? "W" : "w");
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    };
    // Passed on: not taken by the window, which stays open.
    EXPECT_FALSE(press(window, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(press(window, Qt::NoModifier));
    EXPECT_FALSE(press(window, Qt::ShiftModifier));
    EXPECT_TRUE(window->isVisible());

    EXPECT_TRUE(press(window, Qt::ControlModifier));
    EXPECT_FALSE(window->isVisible());

    // The same from inside the credits, where the user may have clicked to select text: the
    // key travels up to the window.
    window = shownWindow();
    ASSERT_TRUE(window->isVisible());
    AboutCreditsTextView* credits = window->view()->creditsView();
    QTest::keyClick(credits, Qt::Key_W);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(credits, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AboutWindowTest, OnlyTheFirstVersionPlaceholderIsReplaced) {
    writeResource(QStringLiteral("AboutText.rtf"), kTwoPlaceholders);
    bundle->info[QStringLiteral("CFBundleShortVersionString")] = QStringLiteral("4.2.1");
    AboutView view(*services);
    AboutCreditsTextView* credits = view.creditsView();
    EXPECT_FALSE(credits->showsUnavailableText());
    EXPECT_EQ(credits->toPlainText(),
              QStringLiteral("Pelora 4.2.1\nWritten for <versionString> and later.\n"));
    // The replacement keeps the style of the text it replaces.
    QTextCursor version = credits->document()->find(QStringLiteral("4.2.1"));
    ASSERT_FALSE(version.isNull());
    EXPECT_EQ(version.charFormat().fontWeight(), QFont::Bold);
    expectForeground(*credits->document(), secondaryTextColor(view.palette()));
}

TEST_F(AboutWindowTest, WithoutAVersionInTheBundleThePlaceholdersStay) {
    writeResource(QStringLiteral("AboutText.rtf"), kTwoPlaceholders);
    bundle->info.remove(QStringLiteral("CFBundleShortVersionString"));
    AboutView view(*services);
    EXPECT_EQ(view.creditsView()->toPlainText().count(QStringLiteral("<versionString>")), 2);
    // The header still names a version: the fallback.
    EXPECT_EQ(view.versionLabel()->text(), L("about.version").arg(QStringLiteral("27"), "1"));
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
    // A resource of another extension does not count; neither does one that is not RTF,
    // nor an RTF document without text.
    for (const auto& [name, bytes] :
         {std::pair{"AboutText.txt", kTwoPlaceholders},
          std::pair{"AboutText.rtf", QByteArray("<html>hi</html>")},
          std::pair{"AboutText.rtf", QByteArray("{\\rtf1 {\\pict 0}}")}}) {
        QDir(resources.path()).removeRecursively();
        QDir().mkpath(resources.path());
        writeResource(QLatin1String(name), bytes);
        AboutView view(*services);
        EXPECT_EQ(view.creditsView()->toPlainText(), unavailable)
            << name << ": " << bytes.constData();
    }
}

TEST_F(AboutWindowTest, SecondaryTextFollowsPaletteChanges) {
    writeResource(QStringLiteral("AboutText.rtf"), kTwoPlaceholders);
    PeloraAboutWindow* window = shownWindow();
    AboutView* view = window->view();
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
    // Lighter than the background, dimmer than the text.
    EXPECT_GT(darkSecondary.lightness(), 0x2b);
    EXPECT_LT(darkSecondary.lightness(), 0xf2);

    expectForeground(*view->creditsView()->document(), darkSecondary);
    EXPECT_EQ(view->versionLabel()->palette().color(QPalette::WindowText), darkSecondary);
    EXPECT_EQ(view->copyrightLabel()->palette().color(QPalette::WindowText), darkSecondary);
    // The name keeps the full text colour.
    EXPECT_EQ(view->nameLabel()->palette().color(QPalette::WindowText), QColor(0xf2, 0xf2, 0xf2));
}

TEST_F(AboutWindowTest, HeaderUsesTheInfoDictionaryWithFallbacks) {
    bundle->info = {{QStringLiteral("CFBundleName"), QStringLiteral("Pelora Beta")},
                    {QStringLiteral("CFBundleDisplayName"), QStringLiteral("Pelora ✦")},
                    {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.0")},
                    {QStringLiteral("CFBundleVersion"), QStringLiteral("%1")},
                    {QStringLiteral("NSHumanReadableCopyright"), QStringLiteral("© Someone")}};
    {
        AboutView view(*services);
        EXPECT_EQ(view.nameLabel()->text(), QStringLiteral("Pelora ✦"));
        // A build that looks like a placeholder is shown as written.
        EXPECT_EQ(view.versionLabel()->text(), L("about.version").arg(QStringLiteral("2.0"), "%1"));
        EXPECT_TRUE(view.versionLabel()->text().contains(QStringLiteral("2.0")));
        EXPECT_EQ(view.copyrightLabel()->text(), QStringLiteral("© Someone"));
    }
    bundle->info.remove(QStringLiteral("CFBundleDisplayName"));
    EXPECT_EQ(AboutView(*services).nameLabel()->text(), QStringLiteral("Pelora Beta"));

    bundle->info.clear();
    AboutView bare(*services);
    EXPECT_EQ(bare.nameLabel()->text(), QStringLiteral("Pelora"));
    EXPECT_EQ(bare.versionLabel()->text(), L("about.version").arg(QStringLiteral("27"), "1"));
    EXPECT_TRUE(bare.copyrightLabel()->text().contains(QStringLiteral("Pelora")));
    EXPECT_FALSE(bare.showsApplicationIcon());
}

TEST_F(AboutWindowTest, IconIsTheBundlesLargestRenditionOrTheStandIn) {
    auto iconImage = [](const AboutView& view) {
        return view.iconLabel()->pixmap().toImage();
    };
    {
        AboutView view(*services); // the bundle names no icon
        EXPECT_FALSE(view.showsApplicationIcon());
        EXPECT_FALSE(view.iconLabel()->pixmap().isNull());
        EXPECT_EQ(view.iconLabel()->pixmap().deviceIndependentSize(), QSizeF(128, 128));
    }
    bundle->info[QStringLiteral("CFBundleIconName")] = QStringLiteral("NoSuchIcon");
    EXPECT_FALSE(AboutView(*services).showsApplicationIcon());

    // The program's own icon, compiled in.
    bundle->info[QStringLiteral("CFBundleIconName")] = QStringLiteral("AppIcon");
    {
        AboutView view(*services);
        EXPECT_TRUE(view.showsApplicationIcon());
        const QImage expected =
            QIcon(QStringLiteral(":/icons/AppIcon.svg")).pixmap(128, 128).toImage();
        EXPECT_EQ(iconImage(view).convertToFormat(QImage::Format_ARGB32),
                  expected.convertToFormat(QImage::Format_ARGB32));
    }

    // A bitmap icon in the bundle: drawn from its own pixels, scaled down smoothly to 128.
    QImage big(512, 512, QImage::Format_ARGB32);
    big.fill(QColor(200, 40, 40));
    ASSERT_TRUE(big.save(resources.filePath(QStringLiteral("Custom.png"))));
    bundle->info[QStringLiteral("CFBundleIconName")] = QStringLiteral("Custom");
    AboutView view(*services);
    EXPECT_TRUE(view.showsApplicationIcon());
    const QImage shown = iconImage(view);
    EXPECT_EQ(shown.size(), QSize(128, 128));
    EXPECT_EQ(shown.pixelColor(64, 64), QColor(200, 40, 40));

    // An unreadable image is no icon.
    writeResource(QStringLiteral("Broken.png"), "not a picture");
    bundle->info[QStringLiteral("CFBundleIconName")] = QStringLiteral("Broken");
    EXPECT_FALSE(AboutView(*services).showsApplicationIcon());
}

TEST_F(AboutWindowTest, LinksOpenTheMakersPagesInTheBrowser) {
    writeResource(QStringLiteral("AboutText.rtf"),
                  "{\\rtf1 See {\\field{\\*\\fldinst HYPERLINK \"https://www.qt.io/\"}"
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
    const QString host = QStringLiteral(PELORA_WEB_HOST);
    EXPECT_EQ(workspace->openedURLs,
              (QList<QUrl>{QUrl(QStringLiteral("https://%1/").arg(host)),
                           QUrl(QStringLiteral("https://%1/privacy/").arg(host)),
                           QUrl(QStringLiteral("https://%1/support/").arg(host))}));

    // Links inside the credits open too, web addresses only.
    workspace->openedURLs.clear();
    AboutCreditsTextView* credits = window->view()->creditsView();
    Q_EMIT credits->anchorClicked(QUrl(QStringLiteral("https://www.qt.io/")));
    Q_EMIT credits->anchorClicked(QUrl(QStringLiteral("file:///etc/passwd")));
    EXPECT_EQ(workspace->openedURLs, QList<QUrl>{QUrl(QStringLiteral("https://www.qt.io/"))});
    // The links of the document survive as links.
    QTextCursor qt = credits->document()->find(QStringLiteral("Qt"));
    ASSERT_FALSE(qt.isNull());
    EXPECT_EQ(qt.charFormat().anchorHref(), QStringLiteral("https://www.qt.io/"));
    EXPECT_TRUE(qt.charFormat().fontUnderline());
}
