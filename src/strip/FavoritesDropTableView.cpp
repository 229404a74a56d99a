#include "strip/FavoritesDropTableView.h"

#include "common/FileURL.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

FavoritesDropTableView::FavoritesDropTableView(QWidget* parent) : QTableView(parent) {
    // Drops arrive at the viewport, which hands them to this view's handlers.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

// The item view's own drag handling would consult the model; only files matter here.
void FavoritesDropTableView::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void FavoritesDropTableView::dragMoveEvent(QDragMoveEvent* event) {
    if (localFileURLs(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FavoritesDropTableView::dragLeaveEvent(QDragLeaveEvent* event) {
    event->accept();
}

void FavoritesDropTableView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = localFileURLs(event->mimeData());
    if (urls.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT urlsDropped(urls);
}
