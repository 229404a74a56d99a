#pragma once

#include <QList>
#include <utility>

class QMenu;
class QPoint;
class QWidget;

// Pops a menu up at a global position, as a popup of the owner's window. A native Wayland
// client's menu without a parent window becomes a window of its own, so there it opens only as
// a popup of the owner, else of another visible window of this program. False when it did not
// open (nothing to show, or nothing to open it from).
bool popUpMenu(QMenu& menu, const QPoint& position, QWidget* owner = nullptr);

// From now on notes whether this program has had a press from a pointer, a key or a touch.
// Qt's Wayland client opens a menu as a grabbing popup only once it has one to grab with;
// before that popUpMenu opens it as a popup that does not grab, rather than as a window.
void watchDeviceInputForMenus();

// Each submenu that opens from this menu or from one of its submenus, after the menu it opens
// from: (menu, submenu), depth first.
QList<std::pair<QMenu*, QMenu*>> submenusOf(QMenu& menu);
