#pragma once

#include "strip/FavoritesTableModel.h"

#include <QList>
#include <QUrl>
#include <QWidget>
#include <optional>

class FavoritesDropTableView;
class QPushButton;

// The favorites editor's window: a hint, the table of favorites and the +, − and Done
// buttons. It shows the rows it is given and tells what the user asked for; it changes no store
// itself. Delete and Backspace remove the selected rows as − does; Return and Escape close it as
// Done does. Kept above other windows; not resizable. Main thread.
class FavoritesEditorWindow : public QWidget {
    Q_OBJECT
public:
    explicit FavoritesEditorWindow(QWidget* parent = nullptr);
    ~FavoritesEditorWindow() override;

    // Lists the rows in the order given; nothing stays selected.
    void setRows(QList<FavoritesEditorRow> rows);
    // Centres the window on the area and brings it to the front.
    void present(const QRect& area);

Q_SIGNALS:
    // The + button was pressed.
    void addRequested();
    // Files were dropped on the table.
    void urlsDropped(const QList<QUrl>& urls);
    // The selected rows are to go (the − button, Delete or Backspace).
    void removeRequested(const QList<FavoritesEditorRow>& rows);
    // A row was double-clicked.
    void openRequested(const FavoritesEditorRow& row);
    // The window closed: Done, Return, Escape or the window's close button.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureColumns();
    // Fits the columns to the table's width, the name column at the requested width where it
    // can have it.
    void layoutColumns(std::optional<int> requestedName);
    void removeSelectedRows();
    void updateRemoveButton();

    FavoritesTableModel* model_;
    FavoritesDropTableView* table_;
    QPushButton* removeButton_;
    bool columnsFitted_ = false;
    bool layingOutColumns_ = false;
};
