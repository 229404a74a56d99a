#pragma once

#include "platform/IconTheme.h"

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
