#pragma once

#include "favorites/FavoriteItem.h"
#include "favorites/FavoritesCategory.h"

#include <QAbstractTableModel>
#include <QList>
#include <array>

// One row of the favorites editor: a favorite and the store it belongs to.
struct FavoritesEditorRow {
    FavoritesCategory category;
    FavoriteItem item;
};

// The favorites editor's columns, in order.
struct FavoritesEditorColumn {
    const char* identifier;
    int width; // 0: takes what the others leave
    int minimumWidth;
    int maximumWidth; // 0: no limit
};
inline constexpr std::array<FavoritesEditorColumn, 3> favoritesEditorColumns{{
    {"icon", 40, 36, 48},
    {"name", 0, 200, 0},
    {"type", 110, 88, 0},
}};

// The rows of the favorites editor as a table: icon, name, type.
class FavoritesTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { iconColumn, nameColumn, typeColumn };
    // The column's identifier, from headerData.
    static constexpr int identifierRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    const QList<FavoritesEditorRow>& rows() const { return rows_; }
    void setRows(QList<FavoritesEditorRow> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<FavoritesEditorRow> rows_;
};
