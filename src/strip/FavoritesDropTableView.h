#pragma once

#include <QList>
#include <QTableView>
#include <QUrl>

class QMimeData;

// A table that takes files dropped on it: a drag is accepted only when it carries file URLs,
// and those are passed on by urlsDropped.
class FavoritesDropTableView : public QTableView {
    Q_OBJECT
public:
    explicit FavoritesDropTableView(QWidget* parent = nullptr);

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
