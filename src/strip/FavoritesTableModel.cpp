#include "strip/FavoritesTableModel.h"

#include "common/Texts.h"

void FavoritesTableModel::setRows(QList<FavoritesEditorRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int FavoritesTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int FavoritesTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(favoritesEditorColumns.size());
}

QVariant FavoritesTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const FavoritesEditorRow& row = rows_[index.row()];
    switch (index.column()) {
    case iconColumn:
        if (role == Qt::DecorationRole)
            return row.item.icon;
        if (role == Qt::AccessibleTextRole)
            return row.item.displayName;
        break;
    case nameColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return row.item.displayName;
        break;
    case typeColumn:
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return displayName(row.category);
        break;
    default:
        break;
    }
    return {};
}

QVariant FavoritesTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= int(favoritesEditorColumns.size()))
        return {};
    if (role == identifierRole)
        return QString::fromLatin1(favoritesEditorColumns[size_t(section)].identifier);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case nameColumn:
        return L("strip.editor.columnName");
    case typeColumn:
        return L("strip.editor.columnType");
    default:
        return QString();
    }
}

Qt::ItemFlags FavoritesTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
