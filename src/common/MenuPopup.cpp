#include "common/MenuPopup.h"

#include "common/MenuTypeAhead.h"

#include <QGuiApplication>
#include <QMenu>
#include <QWindow>

bool popUpMenu(QMenu& menu, const QPoint& position, QWidget* owner) {
    if (QGuiApplication::platformName().startsWith(u"wayland")) {
        QWindow* parent = owner && owner->isVisible() ? owner->window()->windowHandle() : nullptr;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (parent)
                break;
            if (window->isVisible() && window->type() != Qt::Popup && window->type() != Qt::ToolTip)
                parent = window;
        }
        if (!parent)
            return false;
        // The role of the native window is chosen when it is first shown.
        menu.winId();
        menu.windowHandle()->setTransientParent(parent);
        // Submenus too: otherwise Qt parents them to the focused window, and the compositor
        // closes a popup whose parent is not the popup above which it opens.
        for (QMenu* submenu : menu.findChildren<QMenu*>()) {
            auto* above = qobject_cast<QMenu*>(submenu->parentWidget());
            if (!above)
                continue;
            above->winId();
            submenu->winId();
            submenu->windowHandle()->setTransientParent(above->windowHandle());
        }
    }
    enableMenuTypeAhead(menu);
    menu.popup(position);
    return menu.isVisible();
}
