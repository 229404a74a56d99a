#include "about/LicenseWindow.h"
#include "common/Services.h"
#include "common/Texts.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeWorkspace.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class LicenseWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = std::make_shared<FakeBundle>();
        bundle->resourcesDir = resources.path();
        workspace = std::make_shared<FakeWorkspace>();
        Platform platform;
        platform.bundle = bundle;
        platform.workspace = workspace;
        services = std::make_unique<Services>(platform);
    }
    void TearDown() override {
        services.reset();
        drainEvents();
    }

    void writeLicense(const QByteArray& bytes) {
        QFile file(resources.filePath(QStringLiteral("LicenseAgreement.rtf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QList<LicenseWindow*> licenseWindows() {
        QList<LicenseWindow*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* license = qobject_cast<LicenseWindow*>(w))
                found << license;
        }
        return found;
    }

    QTemporaryDir resources;
    std::shared_ptr<FakeBundle> bundle;
    std::shared_ptr<FakeWorkspace> workspace;
    std::unique_ptr<Services> services;
};

} // namespace

TEST_F(LicenseWindowTest, ShowingWhileOpenKeepsOneWindow) {
    writeLicense("{\\rtf1\\ansi {\\b Terms}\\par Be nice.}");
    showLicenseWindow(*services);
    QPointer<LicenseWindow> first = services->get<LicenseWindowKeeper>().window();
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    showLicenseWindow(*services);
    drainEvents();
    // The open window is brought forward, not rebuilt.
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(licenseWindows(), QList<LicenseWindow*>{first.data()});

    EXPECT_EQ(first->windowTitle(), L("license.title"));
    EXPECT_EQ(first->size(), QSize(560, 420));
    EXPECT_EQ(first->minimumSize(), QSize(420, 320));
    EXPECT_GT(first->maximumWidth(), 560); // resizable
    EXPECT_FALSE(first->showsUnavailableText());
    EXPECT_EQ(first->textView()->toPlainText(), QStringLiteral("Terms\nBe nice."));

    // The close button hides the window; the next request brings up a fresh one in its place,
    // reading the document again.
    EXPECT_EQ(first->closeButton()->text(), L("license.close"));
    QTest::mouseClick(first->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(first->isVisible());
    writeLicense("{\\rtf1 Revised terms.}");
    showLicenseWindow(*services);
    drainEvents();
    EXPECT_TRUE(first.isNull());
    const QList<LicenseWindow*> now = licenseWindows();
    ASSERT_EQ(now.size(), 1);
    EXPECT_TRUE(now.first()->isVisible());
    EXPECT_EQ(now.first()->size(), QSize(560, 420));
    EXPECT_EQ(now.first()->textView()->toPlainText(), QStringLiteral("Revised terms."));
}

TEST_F(LicenseWindowTest, MissingOrUnreadableDocumentShowsTheUnavailableText) {
    const QString unavailable = L("license.unavailable");
    ASSERT_NE(unavailable, QStringLiteral("license.unavailable"));
    for (const QByteArray& bytes : {QByteArray(), QByteArray("PK\x03\x04 zipped"),
                                    QByteArray("{\\rtf1 {\\*\\generator x}}")}) {
        if (!bytes.isNull())
            writeLicense(bytes);
        LicenseWindow window(*services);
        EXPECT_TRUE(window.showsUnavailableText()) << bytes.constData();
        EXPECT_EQ(window.textView()->toPlainText(), unavailable);
        // In the ordinary text colour, not a dimmed one.
        QTextCursor cursor(window.textView()->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        EXPECT_FALSE(cursor.charFormat().hasProperty(QTextFormat::ForegroundBrush));
    }
}

TEST_F(LicenseWindowTest, LinksInTheAgreementOpenWebPagesOnly) {
    writeLicense("{\\rtf1 Read {\\field{\\*\\fldinst HYPERLINK \"https://example.org/terms\"}"
                 "{\\fldrslt the terms}}.}");
    showLicenseWindow(*services);
    LicenseWindow* window = services->get<LicenseWindowKeeper>().window();
    ASSERT_NE(window, nullptr);
    Q_EMIT window->textView()->anchorClicked(QUrl(QStringLiteral("https://example.org/terms")));
    Q_EMIT window->textView()->anchorClicked(QUrl(QStringLiteral("javascript:alert(1)")));
    EXPECT_EQ(workspace->openedURLs,
              QList<QUrl>{QUrl(QStringLiteral("https://example.org/terms"))});
}
