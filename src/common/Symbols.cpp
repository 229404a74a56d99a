#include "common/Symbols.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <array>

namespace {

struct SymbolEntry {
    const char* symbol;
    // Plain names only: Qt 6.4 does not try the "-symbolic" variants.
    const char* themeName;
};

constexpr std::array kSymbols{
    SymbolEntry{"doc", "x-office-document"},
    SymbolEntry{"folder", "folder"},
    SymbolEntry{"app", "application-x-executable"},
    SymbolEntry{"clipboard", "edit-paste"},
    SymbolEntry{"square.grid.2x2", "preferences-system-windows"},
    SymbolEntry{"trash", "user-trash"},
    SymbolEntry{"square.and.pencil", "accessories-text-editor"},
    SymbolEntry{"line.3.horizontal", "format-justify-fill"},
    SymbolEntry{"slider.horizontal.3", "preferences-system"},
    SymbolEntry{"eye.slash", "view-restore"},
    SymbolEntry{"info.circle", "help-about"},
    SymbolEntry{"arrow.down.circle", "system-software-update"},
    SymbolEntry{"gear", "emblem-system"},
    SymbolEntry{"plus", "list-add"},
    SymbolEntry{"minus", "list-remove"},
    // Stands in for a missing application icon at 128 px, so it wants large renditions.
    SymbolEntry{"hare.fill", "application-x-executable"},
    SymbolEntry{"questionmark.circle", "help-browser"},
    SymbolEntry{"bubble.left", "help-faq"},
    SymbolEntry{"book", "accessories-dictionary"},
    SymbolEntry{"arrow.up.right", "web-browser"},
    SymbolEntry{"command", "preferences-desktop-keyboard-shortcuts"},
    SymbolEntry{"link", "insert-link"},
    SymbolEntry{"play.diamond", "media-playback-start"},
};

const SymbolEntry* findSymbol(const QString& symbolName) {
    for (const SymbolEntry& entry : kSymbols) {
        if (symbolName == QLatin1String(entry.symbol))
            return &entry;
    }
    return nullptr;
}

} // namespace

QIcon bundledSymbolIcon(const QString& symbolName) {
    const SymbolEntry* entry = findSymbol(symbolName);
    if (!entry)
        return {};
    return QIcon(QStringLiteral(":/symbols/%1.svg").arg(QLatin1String(entry->symbol)));
}

QIcon symbolIcon(const QString& symbolName) {
    const SymbolEntry* entry = findSymbol(symbolName);
    if (!entry)
        return {};
    ensureIconTheme();
    QIcon themed = QIcon::fromTheme(QLatin1String(entry->themeName));
    if (!themed.isNull())
        return themed;
    return bundledSymbolIcon(symbolName);
}

QIcon menuSymbolIcon(const QString& symbolName, const QPalette& palette) {
    const SymbolEntry* entry = findSymbol(symbolName);
    if (!entry)
        return {};
    ensureIconTheme();
    // Asked for by its exact name: the theme would otherwise hand over the full-colour icon
    // of the name without "-symbolic", whose silhouette is a blot.
    const QString symbolic = QLatin1String(entry->themeName) + QLatin1String("-symbolic");
    const QIcon source =
        QIcon::hasThemeIcon(symbolic) ? QIcon::fromTheme(symbolic) : bundledSymbolIcon(symbolName);
    // Symbolic icons come in one grey: only their shape is kept, in the colour of the text.
    const auto drawn = [&source](int side, const QColor& color) {
        QImage image = source.pixmap(QSize(side, side), 1.0)
                           .toImage()
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
        painter.end();
        return QPixmap::fromImage(image);
    };
    QIcon icon;
    for (const int side : {16, 32}) {
        icon.addPixmap(drawn(side, palette.color(QPalette::Active, QPalette::Text)), QIcon::Normal);
        icon.addPixmap(drawn(side, palette.color(QPalette::Active, QPalette::HighlightedText)),
                       QIcon::Active);
        icon.addPixmap(drawn(side, palette.color(QPalette::Disabled, QPalette::Text)),
                       QIcon::Disabled);
    }
    return icon;
}

QString symbolThemeName(const QString& symbolName) {
    const SymbolEntry* entry = findSymbol(symbolName);
    return entry ? QString::fromLatin1(entry->themeName) : QString();
}

QStringList knownSymbolNames() {
    QStringList names;
    names.reserve(qsizetype(kSymbols.size()));
    for (const SymbolEntry& entry : kSymbols)
        names.append(QString::fromLatin1(entry.symbol));
    return names;
}
