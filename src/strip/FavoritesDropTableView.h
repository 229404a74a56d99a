#pragma once

#include <QList>
#include <QTableView>
#include <QUrl>
#include <functional>

class QMimeData;

// A table that takes files dropped on it: a drag is accepted only when it carries file URLs,
// and those are handed to `onDropURLs`.
class FavoritesDropTableView : public QTableView {
    Q_OBJECT
public:
    explicit FavoritesDropTableView(QWidget* parent = nullptr);

    std::function<void(const QList<QUrl>&)> onDropURLs;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
