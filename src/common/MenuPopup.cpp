#include "common/MenuPopup.h"

#include "common/MenuTypeAhead.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QWindow>

namespace {
constexpr char kDeviceInputSeen[] = "_pelora_deviceInputSeen";

class DeviceInputWatch : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            if (event->spontaneous()) {
                parent()->setProperty(kDeviceInputSeen, true);
                deleteLater();
            }
            break;
        default:
            break;
        }
        return false;
    }
};

// Without a press to grab with, Qt would make a menu a window of its own (titled, placed by
// the compositor); as a tooltip-type window it becomes a popup beside its parent that does
// not grab. Qt reads the type when the menu is first shown.
void openWithoutGrab(QMenu& menu) {
    if (QCoreApplication::instance()->property(kDeviceInputSeen).toBool())
        return;
    QWindow* handle = menu.windowHandle();
    handle->setFlags((handle->flags() & ~Qt::WindowType_Mask) | Qt::ToolTip);
}
} // namespace

void watchDeviceInputForMenus() {
    QCoreApplication* application = QCoreApplication::instance();
    application->installEventFilter(new DeviceInputWatch(application));
}

QList<std::pair<QMenu*, QMenu*>> submenusOf(QMenu& menu) {
    // By the entries that open them: a menu given to an entry (the tray menu's module menus)
    // need not be a child of the menu it opens from.
    QList<std::pair<QMenu*, QMenu*>> found;
    for (QAction* action : menu.actions()) {
        if (QMenu* submenu = action->menu(); submenu && submenu != &menu) {
            found.append(std::pair(&menu, submenu));
            found.append(submenusOf(*submenu));
        }
    }
    return found;
}

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
        openWithoutGrab(menu);
        // Submenus too: otherwise Qt parents them to the focused window, and the compositor
        // closes a popup whose parent is not the popup above which it opens (Qt warns and
        // takes the topmost popup instead).
        for (const auto& [above, submenu] : submenusOf(menu)) {
            above->winId();
            submenu->winId();
            submenu->windowHandle()->setTransientParent(above->windowHandle());
            openWithoutGrab(*submenu);
        }
    }
    enableMenuTypeAhead(menu);
    menu.popup(position);
    return menu.isVisible();
}
