#pragma once

#include "common/MenuJson.h"

#include <QMenu>
#include <QString>

// A menu's entries as the user reads them, in the form `pelora menu` prints below the menu's
// title: one entry a line, submenus indented below their entry ("Title >"), "----" for a
// separator, "[x] "/"[ ] " before checkable entries, " (disabled)" after disabled ones.
// Hidden entries are left out.
inline QString menuText(const QMenu& menu) {
    QJsonObject json = menuToJson(menu);
    // Without a title the entries are not indented below one.
    json.remove(QStringLiteral("title"));
    return menuJsonToText(json);
}
