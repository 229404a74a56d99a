#include "common/Symbols.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Pixels at least half opaque in the 16 x 16 rendering, and whether any of them has colour.
std::pair<int, bool> ink(const QIcon& icon) {
    const QImage image = icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    bool coloured = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            visible += qAlpha(p) >= 128;
            coloured |= qAlpha(p) >= 200 && (std::max({qRed(p), qGreen(p), qBlue(p)}) -
                                                 std::min({qRed(p), qGreen(p), qBlue(p)}) >
                                             8);
        }
    return {visible, coloured};
}

} // namespace

TEST(Symbols, EveryNameShowsTheThemesIconElseItsOwnGreyGlyph) {
    ensureIconTheme();
    const bool adwaita = QFile::exists("/usr/share/icons/Adwaita/index.theme");
    const QString theme = QIcon::themeName(), fallback = QIcon::fallbackThemeName();
    for (const QString& name : knownSymbolNames()) {
        SCOPED_TRACE(name.toStdString());
        const QIcon icon = symbolIcon(name);
        EXPECT_TRUE(!adwaita || icon.name() == symbolThemeName(name)) << "not in the theme";
        EXPECT_GE(ink(icon).first, 8);
        const auto [visible, coloured] = ink(bundledSymbolIcon(name));
        EXPECT_GE(visible, 8);
        EXPECT_FALSE(coloured);
    }
    EXPECT_TRUE(symbolIcon("no.such.symbol").isNull());
    // Without a theme.
    QIcon::setThemeName("pelora-no-such-theme");
    QIcon::setFallbackThemeName("pelora-no-such-theme");
    for (const QString& name : knownSymbolNames())
        EXPECT_GE(ink(symbolIcon(name)).first, 8) << name.toStdString();
    QIcon::setThemeName(theme);
    QIcon::setFallbackThemeName(fallback);
}

TEST(Symbols, MenuSymbolsAreDrawnInTheMenusTextColourOnLightAndDarkThemes) {
    ensureIconTheme();
    for (const QColor text : {QColor(Qt::black), QColor(0xee, 0xee, 0xee)}) {
        QPalette palette;
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        for (const QString& name : knownSymbolNames()) {
            SCOPED_TRACE(name.toStdString() + " on " + text.name().toStdString());
            const QIcon icon = menuSymbolIcon(name, palette);
            const auto [visible, coloured] = ink(icon);
            EXPECT_GE(visible, 8);
            EXPECT_FALSE(coloured);
            // Without a symbolic rendition in the theme, the bundled glyph's shape, never the
            // silhouette of a full-colour icon.
            const auto alpha = [](const QIcon& i) {
                return i.pixmap(16).toImage().convertToFormat(QImage::Format_Alpha8);
            };
            if (!QIcon::hasThemeIcon(symbolThemeName(name) + "-symbolic")) {
                EXPECT_EQ(alpha(icon), alpha(bundledSymbolIcon(name)));
            }
            // Every visible pixel is the text's colour, however the theme drew the symbol.
            const QImage image = icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) == 255) {
                        ASSERT_EQ(QColor(image.pixel(x, y)), text) << x << "," << y;
                    }
                }
        }
    }
    EXPECT_TRUE(menuSymbolIcon("no.such.symbol", QPalette()).isNull());
}

TEST(Symbols, EveryNameTheSourcesAskForIsKnown) {
    static const QRegularExpression call(QStringLiteral(
        R"(\b(?:symbolIcon|bundledSymbolIcon|menuSymbolIcon)\(\s*(?:QStringLiteral\(\s*|u)?"([^"\n]*)\")"));
    const QStringList names = knownSymbolNames();
    QDirIterator it(sourcePath("src"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const auto& match : call.globalMatch(QString::fromUtf8(file.readAll())))
            EXPECT_TRUE(names.contains(match.captured(1)))
                << match.captured(1).toStdString() << " in " << file.fileName().toStdString();
    }
}
