#pragma once

#include <QJsonObject>
#include <QString>

class QMenu;

// What a menu would show, as data: {"title", "items": [...]}, each item either
// {"separator": true} or {"title", "enabled", ["checked"], ["submenu": {...}]}. Hidden entries
// are left out, as the user would not see them; "checked" appears only on checkable entries.
QJsonObject menuToJson(const QMenu& menu);

// What the user reads on a menu entry or title: Qt marks mnemonics with '&' and writes a
// literal one as "&&".
QString displayedMenuText(const QString& text);

// The same menu for a terminal: one entry a line, submenus indented below their entry.
// Tolerates any JSON object (it comes from another process): unknown shapes print nothing.
QString menuJsonToText(const QJsonObject& menu);
