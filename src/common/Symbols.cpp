#include "common/Symbols.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

const QString kFallbackTheme = QStringLiteral("Adwaita");

bool themeInstalled(const QStringList& searchPaths, const QString& theme) {
    for (const QString& path : searchPaths) {
        if (QFileInfo::exists(path + QLatin1Char('/') + theme + QStringLiteral("/index.theme")))
            return true;
    }
    return false;
}

} // namespace

void ensureIconTheme() {
    static bool done = false;
    if (done)
        return;
    done = true;

    // Offscreen Qt searches only :/icons; the XDG data folders hold the installed themes, and
    // pixmaps/ the unthemed icons some desktop entries name (xterm's, for one).
    QStringList searchPaths = QIcon::themeSearchPaths();
    QStringList fallbackPaths = QIcon::fallbackSearchPaths();
    auto addDir = [](QStringList& list, const QString& dir) {
        const QString clean = QDir::cleanPath(dir);
        if (QFileInfo(clean).isDir() && !list.contains(clean))
            list << clean;
    };
    addDir(searchPaths, QDir::homePath() + QStringLiteral("/.icons"));
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        addDir(searchPaths, data + QStringLiteral("/icons"));
        addDir(fallbackPaths, data + QStringLiteral("/pixmaps"));
    }
    addDir(searchPaths, QStringLiteral("/usr/share/icons"));
    addDir(fallbackPaths, QStringLiteral("/usr/share/pixmaps"));
    if (searchPaths != QIcon::themeSearchPaths())
        QIcon::setThemeSearchPaths(searchPaths);
    if (fallbackPaths != QIcon::fallbackSearchPaths())
        QIcon::setFallbackSearchPaths(fallbackPaths);

    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor")) {
        for (const char* candidate : {"Adwaita", "breeze", "gnome", "Tango", "oxygen"}) {
            if (themeInstalled(searchPaths, QLatin1String(candidate))) {
                QIcon::setThemeName(QLatin1String(candidate));
                break;
            }
        }
    }
    // A real desktop theme without parents falls back to Adwaita for names it lacks.
    if (QIcon::fallbackThemeName().isEmpty() && themeInstalled(searchPaths, kFallbackTheme))
        QIcon::setFallbackThemeName(kFallbackTheme);
}

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
