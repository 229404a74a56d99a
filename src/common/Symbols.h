#pragma once

#include "platform/IconTheme.h"

#include <QIcon>
#include <QPalette>
#include <QString>
#include <QStringList>

// The icon for a system-symbol name ("doc", "folder", "trash", ...): the desktop's icon theme
// when it has a fitting icon, else the bundled fallback. Never null for a known name; null for
// a name the table does not know.
QIcon symbolIcon(const QString& symbolName);

// The bundled monochrome glyph for a symbol name, whatever the theme offers; null for an
// unknown name.
QIcon bundledSymbolIcon(const QString& symbolName);

// The icon of a symbol for a menu entry: the theme's monochrome "-symbolic" rendition, else the
// bundled glyph, drawn in the palette's text colour (its highlighted-text colour on the active
// entry), so that menus look like the strip and follow a light or a dark theme. Null for an
// unknown name.
QIcon menuSymbolIcon(const QString& symbolName, const QPalette& palette);

// The freedesktop icon-theme name a symbol maps to; empty for an unknown name.
QString symbolThemeName(const QString& symbolName);

// Every symbol name the table knows.
QStringList knownSymbolNames();
