#include "common/Symbols.h"

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
