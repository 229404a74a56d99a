#include "strip/ModuleMenuItems.h"

#include "common/Symbols.h"
#include "common/Texts.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>

namespace ModuleMenuItems {

namespace {
QAction* addDisabledItem(QMenu& menu, const QString& title) {
    QAction* item = menu.addAction(itemText(title));
    item->setEnabled(false);
    return item;
}

// Sets the item's text, cut to the menu's width when too long, the whole in its tooltip.
void setTitle(QMenu& menu, QAction& item, const QString& title) {
    const QString shown = elidedTitle(title, QFontMetrics(menu.font()));
    item.setText(itemText(shown));
    if (shown != title) {
        item.setToolTip(title);
        menu.setToolTipsVisible(true);
    }
}
} // namespace

int maximumTitleWidth(const QFontMetrics& metrics) {
    return 48 * metrics.averageCharWidth();
}

QString elidedTitle(const QString& title, const QFontMetrics& metrics) {
    return metrics.elidedText(title, Qt::ElideMiddle, maximumTitleWidth(metrics));
}

QMenu* makeMenu(const QString& fixedTitle, QWidget* parent) {
    return new QMenu(itemText(fixedTitle), parent);
}

QAction* addHeaderItem(QMenu& menu, const QString& title) {
    return addDisabledItem(menu, title);
}

QAction* addEmptyStateItem(QMenu& menu, const QString& text) {
    return addDisabledItem(menu, text);
}

QAction* addEntryItem(QMenu& menu, const QString& title, const QIcon& icon, QObject* target,
                      Action action) {
    QAction* item = menu.addAction(QString());
    setTitle(menu, *item, title);
    if (!icon.isNull())
        item->setIcon(icon);
    if (action) {
        // The item itself is the context when there is no target, so the connection never
        // outlives what it captured.
        QObject::connect(item, &QAction::triggered, target ? target : item, std::move(action));
    }
    return item;
}

QAction* addClearItem(QMenu& menu, QObject* target, Action action) {
    return addEntryItem(menu, L("strip.menu.clearRecents"),
                        menuSymbolIcon(QStringLiteral("trash"), menu.palette()), target,
                        std::move(action));
}

QAction* addEditItem(QMenu& menu, QObject* target, Action action) {
    return addEntryItem(menu, L("strip.menu.editFavorites"),
                        menuSymbolIcon(QStringLiteral("square.and.pencil"), menu.palette()), target,
                        std::move(action));
}

QMenu* addSubmenuItem(QMenu& menu, const QString& title, const QIcon& icon) {
    auto* submenu = new QMenu(itemText(title), &menu);
    QAction* item = menu.addMenu(submenu);
    setTitle(menu, *item, title);
    if (!icon.isNull())
        item->setIcon(icon);
    return submenu;
}

QString itemText(const QString& title) {
    QString text = title;
    text.replace(u'&', QStringLiteral("&&"));
    return text;
}

} // namespace ModuleMenuItems
