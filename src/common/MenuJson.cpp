#include "common/MenuJson.h"

#include <QAction>
#include <QJsonArray>
#include <QMenu>
#include <QSet>

QString displayedMenuText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

namespace {
const QString kTitle = QStringLiteral("title");
const QString kItems = QStringLiteral("items");
const QString kSeparator = QStringLiteral("separator");
const QString kEnabled = QStringLiteral("enabled");
const QString kChecked = QStringLiteral("checked");
const QString kSubmenu = QStringLiteral("submenu");

// A menu may be reachable from itself through a submenu entry; each is written once per path.
QJsonObject toJson(const QMenu& menu, QSet<const QMenu*>& path) {
    path.insert(&menu);
    QJsonArray items;
    for (const QAction* action : menu.actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator()) {
            items.append(QJsonObject{{kSeparator, true}});
            continue;
        }
        QJsonObject item{{kTitle, displayedMenuText(action->text())},
                         {kEnabled, action->isEnabled()}};
        if (action->isCheckable())
            item.insert(kChecked, action->isChecked());
        if (const QMenu* submenu = action->menu(); submenu && !path.contains(submenu))
            item.insert(kSubmenu, toJson(*submenu, path));
        items.append(item);
    }
    path.remove(&menu);
    return QJsonObject{{kTitle, displayedMenuText(menu.title())}, {kItems, items}};
}

void appendText(const QJsonObject& menu, int depth, QString& out) {
    const QString indent(depth * 2, u' ');
    for (const QJsonValue& value : menu.value(kItems).toArray()) {
        if (!value.isObject())
            continue;
        const QJsonObject item = value.toObject();
        if (item.value(kSeparator).toBool()) {
            out += indent + QStringLiteral("----\n");
            continue;
        }
        QString line = indent;
        if (item.contains(kChecked))
            line += item.value(kChecked).toBool() ? QStringLiteral("[x] ") : QStringLiteral("[ ] ");
        line += item.value(kTitle).toString();
        const bool hasSubmenu = item.value(kSubmenu).isObject();
        if (hasSubmenu)
            line += QStringLiteral(" >");
        if (!item.value(kEnabled).toBool(true))
            line += QStringLiteral(" (disabled)");
        out += line + u'\n';
        if (hasSubmenu)
            appendText(item.value(kSubmenu).toObject(), depth + 1, out);
    }
}
} // namespace

QJsonObject menuToJson(const QMenu& menu) {
    QSet<const QMenu*> path;
    return toJson(menu, path);
}

QString menuJsonToText(const QJsonObject& menu) {
    QString out;
    const QString title = menu.value(kTitle).toString();
    if (!title.isEmpty())
        out += title + u'\n';
    appendText(menu, title.isEmpty() ? 0 : 1, out);
    return out;
}
