#pragma once

#include <QIcon>

class QMenu;

// An icon drawn once at side by side points (keeping its proportions), so a menu shows it at
// that size whatever sizes the source offers, and keeps no theme lookup. Null for a null icon.
QIcon menuIconAtSize(const QIcon& icon, int side);

// Menus draw every item's icon in one square of the style's small-icon size; this lets the
// menu's items draw theirs up to side points instead (clipboard thumbnails and file icons).
// Sizes up to the usual 16 leave the menu as it is.
void setMenuIconSize(QMenu& menu, int side);
