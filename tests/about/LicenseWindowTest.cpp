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
    void writeLicense(const QByteArray& bytes) { resources.add("LicenseAgreement.rtf", bytes); }
    static QList<LicenseWindow*> shownWindows() {
        QList<LicenseWindow*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* license = qobject_cast<LicenseWindow*>(w); license && license->isVisible())
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
    showLicenseWindow(*services);
    drainEvents();
    QList<LicenseWindow*> shown = shownWindows();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]->textView()->toPlainText(), QStringLiteral("Terms\nBe nice."));

    QPointer<LicenseWindow> first = shown[0];
    QTest::mouseClick(first->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(shownWindows().isEmpty());
    writeLicense("{\\rtf1 Revised terms.}");
    showLicenseWindow(*services);
    drainEvents();
    EXPECT_TRUE(first.isNull());
    shown = shownWindows();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]->textView()->toPlainText(), QStringLiteral("Revised terms."));
}

TEST_F(LicenseWindowTest, MissingOrUnreadableDocumentShowsTheUnavailableText) {
    const QString unavailable = L("license.unavailable");
    ASSERT_NE(unavailable, QStringLiteral("license.unavailable")) << "a text, not its key";
    for (const QByteArray& bytes : {QByteArray(), QByteArray("PK\x03\x04 zipped"),
                                    QByteArray("{\\rtf1 {\\*\\generator x}}")}) {
        if (!bytes.isNull())
            writeLicense(bytes);
        EXPECT_EQ(LicenseWindow(*services).textView()->toPlainText(), unavailable)
            << bytes.constData();
    }
}

TEST_F(LicenseWindowTest, LinksInTheAgreementOpenWebPagesOnly) {
    writeLicense("{\\rtf1 Read {\\field{\\*\\fldinst HYPERLINK \"https://example.org/terms\"}"
                 "{\\fldrslt the terms}}.}");
    LicenseWindow window(*services);
    for (const char* href : {"https://example.org/terms", "javascript:alert(1)"})
        Q_EMIT window.textView()->anchorClicked(QUrl(href));
    EXPECT_EQ(fakes.workspace->openedURLs, QList<QUrl>{QUrl("https://example.org/terms")});
}

TEST_F(LicenseWindowTest, TheShippedAgreementReadsWhole) {
    fakes.bundle->resourcesDir = sourcePath("resources/bundle");
    const QString text = LicenseWindow(*services).textView()->toPlainText();
    EXPECT_TRUE(text.startsWith("Pelora License Agreement\n"));
    for (const char* part : {"Permission is hereby granted", "No warranty", "AS IS",
                             "Limitation of liability", "Your data"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    EXPECT_FALSE(text.contains(u'\\'));
}
