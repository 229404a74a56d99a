#include "about/LicenseWindow.h"
#include "common/Texts.h"
#include "support/FakePlatform.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

class LicenseWindowTest : public ::testing::Test {
protected:
    LicenseWindowTest() { fakes.bundle->resourcesDir = resources.root(); }
    ~LicenseWindowTest() override {
        services.reset();
        drainEvents();
    }
    void writeLicense(const QByteArray& bytes) {
        resources.add(QStringLiteral("LicenseAgreement.rtf"), bytes);
    }
    static QList<LicenseWindow*> licenseWindows() {
        QList<LicenseWindow*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* license = qobject_cast<LicenseWindow*>(w))
                found << license;
        return found;
    }

    TempTree resources;
    FakePlatform fakes;
    std::unique_ptr<Services> services = fakes.makeServices();
};

} // namespace

TEST_F(LicenseWindowTest, ShowingWhileOpenKeepsOneWindowAndAfterClosingReadsAgain) {
    writeLicense("{\\rtf1\\ansi {\\b Terms}\\par Be nice.}");
    showLicenseWindow(*services);
    QPointer<LicenseWindow> first = services->get<LicenseWindowKeeper>().window();
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->isVisible());
    showLicenseWindow(*services);
    drainEvents();
    EXPECT_EQ(licenseWindows(), QList<LicenseWindow*>{first.data()}) << "brought forward";
    EXPECT_EQ(first->windowTitle(), L("license.title"));
    EXPECT_GT(first->maximumWidth(), first->minimumWidth()) << "resizable";
    EXPECT_EQ(first->textView()->toPlainText(), QStringLiteral("Terms\nBe nice."));

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
        QTextCursor cursor(window.textView()->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        EXPECT_FALSE(cursor.charFormat().hasProperty(QTextFormat::ForegroundBrush))
            << "the ordinary text colour, not a dimmed one";
    }
}

TEST_F(LicenseWindowTest, LinksInTheAgreementOpenWebPagesOnly) {
    writeLicense("{\\rtf1 Read {\\field{\\*\\fldinst HYPERLINK \"https://example.org/terms\"}"
                 "{\\fldrslt the terms}}.}");
    LicenseWindow window(*services);
    Q_EMIT window.textView()->anchorClicked(QUrl(QStringLiteral("https://example.org/terms")));
    Q_EMIT window.textView()->anchorClicked(QUrl(QStringLiteral("javascript:alert(1)")));
    EXPECT_EQ(fakes.workspace->openedURLs,
              QList<QUrl>{QUrl(QStringLiteral("https://example.org/terms"))});
}

TEST_F(LicenseWindowTest, TheShippedAgreementReadsWhole) {
    fakes.bundle->resourcesDir = sourcePath(QStringLiteral("resources/bundle"));
    LicenseWindow window(*services);
    const QString text = window.textView()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Pelora License Agreement\n")));
    for (const char* part : {"Permission is hereby granted", "No warranty", "AS IS",
                             "Limitation of liability", "Your data"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    EXPECT_FALSE(text.contains(u'\\'));
}
