#pragma once

#include <QAction>
#include <QMenu>
#include <QString>

// A menu's entries as the user reads them, in the form `pelora menu` prints below the menu's
// title: one entry a line, submenus indented below their entry ("Title >"), "----" for a
// separator, "[x] "/"[ ] " before checkable entries, " (disabled)" after disabled ones.
// Hidden entries are left out.
inline QString menuText(const QMenu& menu, int depth = 0) {
    QString out;
    const QString indent(depth * 2, u' ');
    for (const QAction* action : menu.actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator()) {
            out += indent + QStringLiteral("----\n");
            continue;
        }
        QString line = indent;
        if (action->isCheckable())
            line += action->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] ");
        QString text = action->text();
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        text.remove(u'&');
        text.replace(u'\x01', u'&');
        line += text;
        const QMenu* submenu = action->menu();
        if (submenu && depth < 8)
            line += QStringLiteral(" >");
        if (!action->isEnabled())
            line += QStringLiteral(" (disabled)");
        out += line + u'\n';
        if (submenu && depth < 8)
            out += menuText(*submenu, depth + 1);
    }
    return out;
}
