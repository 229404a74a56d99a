#pragma once

#include <QIcon>
#include <QString>

// The icon for a system-symbol name ("doc", "folder", "trash", ...): the desktop's icon theme
// when it has a fitting icon, else the bundled fallback. Never null for a known name.
QIcon symbolIcon(const QString& symbolName);
