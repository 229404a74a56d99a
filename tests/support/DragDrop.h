#pragma once

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

// Drags the data over the widget's middle and drops it, as the window system would: whether
// enter, move and drop were each taken as a copy. A refused step ends the drag.
inline bool dropOnto(QWidget* target, const QMimeData& data) {
    const QPointF at = QRectF(target->rect()).center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::LinkAction;
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &move, &drop}) {
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
