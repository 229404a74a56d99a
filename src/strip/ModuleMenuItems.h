#pragma once

#include <QIcon>
#include <QString>
#include <functional>

class QAction;
class QFontMetrics;
class QMenu;
class QObject;
class QWidget;

// The item kinds every module menu is made of, so the documents, folders, applications,
// open-applications and clipboard menus look and behave alike: no item has a shortcut or a
// mnemonic, headers and empty states are disabled and do nothing, and each entry's action holds
// what it acts on, so a choice acts on the list as it was when the menu was built.
namespace ModuleMenuItems {

// The fixed, unlocalised titles of the module menus.
inline const QString recentDocumentsTitle = QStringLiteral("Recent Documents");
inline const QString recentFoldersTitle = QStringLiteral("Recent Folders");
inline const QString appsTitle = QStringLiteral("Apps");
inline const QString clipboardTitle = QStringLiteral("Clipboard");
inline const QString windowsTitle = QStringLiteral("Windows");

// What an item does when chosen.
using Action = std::function<void()>;

// A new, empty module menu with its fixed title. The caller owns it.
QMenu* makeMenu(const QString& fixedTitle, QWidget* parent = nullptr);

// A disabled item without action naming the section below it.
QAction* addHeaderItem(QMenu& menu, const QString& title);

// An item that runs action when chosen; the connection ends with target. The icon is left out
// when null.
QAction* addEntryItem(QMenu& menu, const QString& title, const QIcon& icon,
                      QObject* target = nullptr, Action action = {});

// "strip.menu.clearRecents" with the "trash" symbol; only for a section that has entries.
QAction* addClearItem(QMenu& menu, QObject* target, Action action);

// A disabled item without action saying the section is empty.
QAction* addEmptyStateItem(QMenu& menu, const QString& text);

// "strip.menu.editFavorites" with the "square.and.pencil" symbol.
QAction* addEditItem(QMenu& menu, QObject* target, Action action);

// An item without action carrying a new submenu of the same title; the submenu is returned,
// owned by menu.
QMenu* addSubmenuItem(QMenu& menu, const QString& title, const QIcon& icon);

// The widest an entry's title is drawn in a menu of this font, about 48 average characters: a
// long file name would otherwise make the menu as wide as the screen.
int maximumTitleWidth(const QFontMetrics& metrics);
// The title cut in the middle to that width, so that its start and its extension stay
// visible; unchanged when it fits. Entries whose title is cut show the whole as a tooltip.
QString elidedTitle(const QString& title, const QFontMetrics& metrics);

// A title as a menu item shows it: '&' stands for itself, never for a mnemonic. What the user
// reads on it is displayedMenuText (common/MenuJson.h).
QString itemText(const QString& title);

} // namespace ModuleMenuItems
