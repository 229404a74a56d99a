#include "platform/linux/x11/XWaylandMenuFocus.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {
// A menu that replaces another follows within a few event-loop turns: the focus stays put.
constexpr int kGiveBackDelayMs = 150;
} // namespace

XWaylandMenuFocus::XWaylandMenuFocus(QObject* parent) : QObject(parent) {
    giveBack_.setSingleShot(true);
    giveBack_.setInterval(kGiveBackDelayMs);
    connect(&giveBack_, &QTimer::timeout, this, [this] { giveBack(); });
}

quint32 XWaylandMenuFocus::panelWindow() const {
    return panel_ && panel_->isVisible() ? quint32(panel_->winId()) : 0;
}

void XWaylandMenuFocus::prepareMenu(QWidget& menu) {
    menu_ = &menu;
    menu.installEventFilter(this);
    if (const quint32 panel = panelWindow()) {
        const bool replacing = giveBack_.isActive();
        giveBack_.stop();
        focusPanel(panel, replacing);
        return;
    }
    prepareMenuWithoutPanel(menu);
}

bool XWaylandMenuFocus::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && !resending_) {
        // XWayland can keep the modifiers of the shortcut that opened the menu as held, the
        // compositor having kept their release. A menu has no use for them, only Shift in
        // what is typed.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool typed = !key->text().isEmpty() && key->text().at(0).isPrint();
        const Qt::KeyboardModifiers kept =
            key->modifiers() &
            (typed ? Qt::ShiftModifier | Qt::KeypadModifier : Qt::KeypadModifier);
        if (key->modifiers() != kept) {
            QKeyEvent plain(key->type(), key->key(), kept, key->nativeScanCode(),
                            key->nativeVirtualKey(), key->nativeModifiers(), key->text(),
                            key->isAutoRepeat(), key->count());
            // Once: a modifier key's own event always reads as carrying it.
            resending_ = true;
            QCoreApplication::sendEvent(watched, &plain);
            resending_ = false;
            return true;
        }
    }
    if (event->type() == QEvent::Hide && watched == menu_) {
        watched->removeEventFilter(this);
        menu_ = nullptr;
        menuHidden();
    }
    return false;
}

void XWaylandMenuFocus::menuHidden() {
    if (panelWindow() && panelHasFocus())
        giveBack_.start();
    else if (!giveBack_.isActive())
        forgetReturn();
}

void XWaylandMenuFocus::focusMovedAway() {
    if (giveBack_.isActive()) {
        giveBack_.stop();
        forgetReturn();
    }
    if (menu_ && menu_->isVisible())
        menu_->close();
}
