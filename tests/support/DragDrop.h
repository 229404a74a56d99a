#pragma once

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

// Drags the data over the widget's middle and drops it there, as the window system would:
// enter, move, drop, each offering a copy or a link. Whether every step was taken as a copy;
// a refused step ends the drag, as it does for a user.
inline bool dropOnto(QWidget* target, const QMimeData& data) {
    const QPointF at = QRectF(target->rect()).center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::LinkAction;
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event :
         {static_cast<QDropEvent*>(&enter), static_cast<QDropEvent*>(&move), &drop}) {
        event->setAccepted(false);
        QCoreApplication::sendEvent(target, event);
        if (!event->isAccepted() || event->dropAction() != Qt::CopyAction)
            return false;
    }
    return true;
}

inline bool dropOnto(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    return dropOnto(target, data);
}
