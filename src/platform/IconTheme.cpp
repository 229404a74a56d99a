#include "platform/IconTheme.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

namespace {

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
