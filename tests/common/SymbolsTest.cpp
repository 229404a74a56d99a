#include "common/Symbols.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// Pixels that are at least half opaque in the 16 x 16 rendering.
int visiblePixels(const QIcon& icon) {
    const QImage image =
        icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) >= 128 ? 1 : 0;
    return count;
}

// Restores Qt's global icon-theme settings after each test.
class Symbols : public ::testing::Test {
protected:
    void SetUp() override {
        ensureIconTheme();
        themeName_ = QIcon::themeName();
        fallbackThemeName_ = QIcon::fallbackThemeName();
    }
    void TearDown() override {
        QIcon::setFallbackThemeName(fallbackThemeName_);
        QIcon::setThemeName(themeName_);
    }

private:
    QString themeName_;
    QString fallbackThemeName_;
};

} // namespace

TEST_F(Symbols, EveryNameMapsToAnIconOfTheInstalledTheme) {
    if (!QFile::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "Adwaita is not installed";
    // Offscreen Qt has no theme of its own; the lookup must have chosen one.
    EXPECT_FALSE(QIcon::themeName().isEmpty());
    for (const QString& name : knownSymbolNames()) {
        const QString themeName = symbolThemeName(name);
        ASSERT_FALSE(themeName.isEmpty()) << name.toStdString();
        EXPECT_FALSE(QIcon::fromTheme(themeName).isNull())
            << name.toStdString() << " -> " << themeName.toStdString() << " is not in the theme";
        const QIcon icon = symbolIcon(name);
        ASSERT_FALSE(icon.isNull()) << name.toStdString();
        EXPECT_EQ(icon.name(), themeName) << name.toStdString();
        EXPECT_GE(visiblePixels(icon), 8) << name.toStdString() << " renders empty";
    }
}

TEST_F(Symbols, EveryNameFallsBackToItsBundledGlyphWithoutATheme) {
    QIcon::setThemeName(QStringLiteral("pelora-no-such-theme"));
    QIcon::setFallbackThemeName(QStringLiteral("pelora-no-such-theme"));
    for (const QString& name : knownSymbolNames()) {
        ASSERT_TRUE(QIcon::fromTheme(symbolThemeName(name)).isNull()) << "theme still answers";
        const QIcon icon = symbolIcon(name);
        ASSERT_FALSE(icon.isNull()) << name.toStdString();
        EXPECT_GE(visiblePixels(icon), 8) << name.toStdString() << " renders empty";
        EXPECT_GE(visiblePixels(bundledSymbolIcon(name)), 8) << name.toStdString();
    }
}

TEST_F(Symbols, BundledGlyphsAreNeutralGreyAndNoneIsOrphaned) {
    const QStringList names = knownSymbolNames();
    for (const QString& name : names) {
        const QImage image = bundledSymbolIcon(name)
                                 .pixmap(QSize(32, 32))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 200)
                    continue;
                const int spread = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) -
                                   std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
                ASSERT_LE(spread, 8) << name.toStdString() << " has a coloured pixel";
                ASSERT_LT(qGray(pixel), 110) << name.toStdString() << " is too light";
            }
        }
    }
    // A glyph file nobody can ask for is a misspelt name in the table or in the file.
    QDirIterator files(QStringLiteral(":/symbols"), {QStringLiteral("*.svg")}, QDir::Files);
    int count = 0;
    while (files.hasNext()) {
        const QString base = QFileInfo(files.next()).completeBaseName();
        EXPECT_TRUE(names.contains(base)) << base.toStdString();
        ++count;
    }
    EXPECT_EQ(count, names.size());
}

TEST_F(Symbols, UnknownNamesGiveNullIcons) {
    for (const QString& name : {QStringLiteral(""), QStringLiteral("no.such.symbol"),
                                QStringLiteral("Doc"), QStringLiteral("folder ")}) {
        EXPECT_TRUE(symbolIcon(name).isNull()) << name.toStdString();
        EXPECT_TRUE(bundledSymbolIcon(name).isNull()) << name.toStdString();
        EXPECT_TRUE(symbolThemeName(name).isEmpty()) << name.toStdString();
    }
}

TEST_F(Symbols, EveryNameTheSourcesAskForIsKnown) {
    static const QRegularExpression call(QStringLiteral(
        R"(\b(?:symbolIcon|bundledSymbolIcon)\(\s*(?:QStringLiteral\(\s*|u)?"([^"\n]*)\")"));
    const QStringList names = knownSymbolNames();
    QDirIterator it(sourcePath(QStringLiteral("src")), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& match : call.globalMatch(text))
            EXPECT_TRUE(names.contains(match.captured(1)))
                << "unknown symbol \"" << match.captured(1).toStdString() << "\" in "
                << path.toStdString();
    }
}
