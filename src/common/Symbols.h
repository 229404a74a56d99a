#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

// The icon for a system-symbol name ("doc", "folder", "trash", ...): the desktop's icon theme
// when it has a fitting icon, else the bundled fallback. Never null for a known name; null for
// a name the table does not know.
QIcon symbolIcon(const QString& symbolName);

// The bundled monochrome glyph for a symbol name, whatever the theme offers; null for an
// unknown name.
QIcon bundledSymbolIcon(const QString& symbolName);

// The freedesktop icon-theme name a symbol maps to; empty for an unknown name.
QString symbolThemeName(const QString& symbolName);

// Every symbol name the table knows.
QStringList knownSymbolNames();

// Makes theme lookups work without a desktop session: adds the system icon folders to the
// search path and, when Qt has no real theme (offscreen, or a bare X session reports none or
// "hicolor"), picks Adwaita if it is installed. Runs once; symbolIcon calls it, and start-up may
// call it early so file and type icons benefit as well. Main thread only.
void ensureIconTheme();
