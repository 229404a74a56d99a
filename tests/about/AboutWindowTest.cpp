#include "about/AboutWindow.h"
#include "about/AboutCreditsTextView.h"
#include "about/AboutView.h"
#include "about/LicenseWindow.h"
#include "about/LinkButton.h"
#include "common/Texts.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

namespace {
// The About and licence windows over a bundle whose resources the test writes.
class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest() { fakes.bundle->resourcesDir = resources.root(); }
    ~AboutWindowTest() override { drainEvents(); }
    // Both documents, as RTF unless another extension is given.
    void write(const QByteArray& rtf, const QString& extension = ".rtf") {
        for (const char* name : {"AboutText", "LicenseAgreement"}) {
            QFile::remove(resources.path(name + QStringLiteral(".rtf")));
            resources.add(name + extension, rtf);
        }
    }
    QString credits() {
        return AboutView(*fakes.bundle, *fakes.workspace).creditsView()->toPlainText();
    }
    QString license() {
        return LicenseWindow(*fakes.bundle, *fakes.workspace).textView()->toPlainText();
    }

    TempTree resources;
    FakePlatform fakes;
};
} // namespace

TEST_F(AboutWindowTest, ShowingAgainKeepsOneWindowAndBringsItBackAfterClosing) {
    AboutWindowKeeper keeper(*fakes.bundle, *fakes.workspace, *fakes.running);
    keeper.show();
    QPointer<PeloraAboutWindow> window = keeper.existingWindow();
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible()) << "presented on a later turn of the event loop";
    for (int i = 0; i < 2; ++i) {
        keeper.show();
        drainEvents();
        EXPECT_EQ(keeper.existingWindow(), window);
        EXPECT_TRUE(window->isVisible());
        window->close();
    }
    EXPECT_EQ(fakes.running->currentApplicationActivations, 3);
}

// The version in the header and in place of the credits' first placeholder, in that
// placeholder's style; a second placeholder is left as written.
TEST_F(AboutWindowTest, TheHeaderAndCreditsShowTheBundlesNameAndVersion) {
    write("{\\rtf1\\ansi {\\b Pelora <versionString>}\\par Written for <versionString>.}");
    fakes.bundle->info = {{"CFBundleName", "Beta"},
                          {"CFBundleDisplayName", "Pelora ✦"},
                          {"CFBundleShortVersionString", "4.2"},
                          {"CFBundleVersion", "%1"},
                          {"NSHumanReadableCopyright", "© Someone"}};
    AboutView view(*fakes.bundle, *fakes.workspace);
    EXPECT_EQ(view.nameLabel()->text(), "Pelora ✦") << "the display name first";
    EXPECT_EQ(view.versionLabel()->text(), L("about.version").arg("4.2", "%1"))
        << "a build that looks like a placeholder is shown as written";
    EXPECT_EQ(view.copyrightLabel()->text(), "© Someone");
    EXPECT_EQ(view.creditsView()->toPlainText(), "Pelora 4.2\nWritten for <versionString>.");
    EXPECT_EQ(view.creditsView()->document()->find("4.2").charFormat().fontWeight(), QFont::Bold);
    fakes.bundle->info.remove("CFBundleShortVersionString");
    EXPECT_EQ(credits().count("<versionString>"), 2) << "no version, nothing replaced";
}

TEST_F(AboutWindowTest, TheIconIsTheBundlesOwnScaledDownOrAStandIn) {
    QImage custom(512, 512, QImage::Format_ARGB32);
    custom.fill(QColor(200, 40, 40));
    ASSERT_TRUE(custom.save(resources.path("Custom.png")));
    resources.add("Broken.png", "not a picture");
    for (const auto& [name, own] :
         {std::pair{"", false}, std::pair{"NoSuchIcon", false}, std::pair{"Broken", false},
          std::pair{"AppIcon", true}, std::pair{"Custom", true}}) {
        fakes.bundle->info["CFBundleIconName"] = QString::fromUtf8(name);
        AboutView view(*fakes.bundle, *fakes.workspace);
        EXPECT_EQ(view.showsApplicationIcon(), own) << name;
        EXPECT_FALSE(view.iconLabel()->pixmap().isNull()) << name << ": a stand-in at least";
    }
}

// The maker's pages from the About window; links in either document only where they lead to
// the web.
TEST_F(AboutWindowTest, LinksOpenTheMakersPagesAndTheDocumentsWebLinksOnly) {
    AboutView view(*fakes.bundle, *fakes.workspace);
    for (LinkButton* link : view.links())
        QTest::mouseClick(link, Qt::LeftButton);
    const QString site = QStringLiteral("https://" PELORA_WEB_HOST "/");
    EXPECT_EQ(fakes.workspace->openedURLs,
              (QList<QUrl>{QUrl(site), QUrl(site + "privacy/"), QUrl(site + "support/")}));

    write("{\\rtf1 See {\\field{\\*\\fldinst HYPERLINK \"https://www.qt.io/\"}{\\fldrslt Qt}}.}");
    LicenseWindow license(*fakes.bundle, *fakes.workspace);
    AboutView withLink(*fakes.bundle, *fakes.workspace);
    EXPECT_EQ(withLink.creditsView()->document()->find("Qt").charFormat().anchorHref(),
              "https://www.qt.io/");
    for (QTextBrowser* text :
         {static_cast<QTextBrowser*>(withLink.creditsView()), license.textView()}) {
        fakes.workspace->openedURLs.clear();
        for (const char* href : {"https://www.qt.io/", "file://server/etc/passwd", "ftp://qt.io/x"})
            Q_EMIT text->anchorClicked(QUrl(href));
        EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{QUrl("https://www.qt.io/")});
    }
}

TEST_F(AboutWindowTest, TheLicenceWindowIsOneWhileOpenAndReadsAnewOnceClosed) {
    LicenseWindowKeeper keeper(*fakes.bundle, *fakes.workspace);
    write("{\\rtf1\\ansi {\\b Terms}\\par Be nice.}");
    keeper.show();
    QPointer<LicenseWindow> window = keeper.window();
    keeper.show();
    EXPECT_EQ(keeper.window(), window);
    EXPECT_EQ(window->textView()->toPlainText(), "Terms\nBe nice.");
    QTest::mouseClick(window->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    write("{\\rtf1 Revised terms.}");
    keeper.show();
    EXPECT_FALSE(window) << "the closed one is gone";
    EXPECT_TRUE(keeper.window()->isVisible());
    EXPECT_EQ(keeper.window()->textView()->toPlainText(), "Revised terms.");
}

// Missing (only RTF is read), or not a document with text: a note instead.
TEST_F(AboutWindowTest, UnreadableCreditsOrLicenceShowTheUnavailableText) {
    for (const auto& [extension, bytes] : {std::pair{".txt", QByteArray("{\\rtf1 Text.}")},
                                           std::pair{".rtf", QByteArray("PK\x03\x04 zipped")},
                                           std::pair{".rtf", QByteArray("{\\rtf1 {\\pict 0}}")}}) {
        write(bytes, extension);
        EXPECT_EQ(credits(), L("about.credits.unavailable")) << extension << bytes.constData();
        EXPECT_EQ(license(), L("license.unavailable")) << extension << bytes.constData();
    }
}

// The shipped documents, read whole through the same code the program uses.
TEST_F(AboutWindowTest, TheShippedCreditsAndLicenceReadWhole) {
    fakes.bundle->resourcesDir = sourcePath("resources/bundle");
    const QString text = credits().trimmed(), terms = license().trimmed();
    EXPECT_TRUE(text.startsWith("Pelora 1.0.0\n")) << text.left(40).toStdString();
    EXPECT_TRUE(text.endsWith("License Agreement.")) << text.right(40).toStdString();
    EXPECT_TRUE(terms.startsWith("Pelora License Agreement\n"));
    EXPECT_TRUE(terms.endsWith("Contact Support.")) << terms.right(40).toStdString();
    for (const QString& shipped : {text, terms})
        EXPECT_FALSE(shipped.contains(u'\\') || shipped.contains(u'{')) << "no markup leaks";
}
