#pragma once

#include "favorites/FavoritesCategory.h"
#include "strip/FavoritesTableModel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <memory>
#include <optional>

class BookmarkService;
class Dialogs;
class FavoriteStores;
class FavoritesDropTableView;
class FileSystem;
class QLabel;
class QPushButton;
class QWidget;
class RunningApplications;
class Screens;

// Runs the favorites editor: one window listing the favorites of all three stores, newest
// first, where the user adds (open panel or drop), removes and opens them. The coordinator is
// a child of its owner, the strip window controller, and releases itself when its window
// closes. Main thread.
class FavoritesEditWindowCoordinator : public QObject {
    Q_OBJECT
public:
    // Builds the window without showing it.
    FavoritesEditWindowCoordinator(FileSystem& fileSystem, BookmarkService& bookmarks,
                                   RunningApplications& runningApplications, Dialogs& dialogs,
                                   Screens& screens, FavoriteStores& favorites, QObject* owner);
    ~FavoritesEditWindowCoordinator() override;

    // Fills the table and brings the window, centred on the main screen, to the front.
    void showEditor();

    QWidget* editorWindow() const { return editorWindow_.get(); }
    FavoritesDropTableView* tableView() const { return tableView_; }
    QLabel* hintLabel() const { return hintLabel_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* removeButton() const { return removeButton_; }
    QPushButton* doneButton() const { return doneButton_; }
    // What the table shows, in display order.
    const QList<FavoritesEditorRow>& unifiedRows() const { return model_->rows(); }

    // Rebuilds the rows from the three stores, newest first, and reloads the table.
    void reloadRows();
    // Adds each URL to the store of its kind; the caller reloads.
    void addFavoriteURLs(const QList<QUrl>& urls);
    void handleAdd();
    void handleRemove();
    // Opens the favorite of the row; rows outside the list do nothing.
    void handleDoubleClick(int row);
    void handleDone();

Q_SIGNALS:
    // A double-click on a row asks its owner, the strip window controller, to open what it
    // leads to: a document or folder favorite is opened and recorded in its recent history,
    // an application favorite is launched.
    void openFavoriteRequested(const QUrl& url, FavoritesCategory category);
    void launchApplicationRequested(const QUrl& applicationURL);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildContent();
    void configureColumns();
    // Fits the columns to the table's width, the name column at the requested width where
    // it can have it.
    void layoutColumns(std::optional<int> requestedName);
    void updateRemoveButton();
    void tableViewSelectionDidChange();
    void windowWillClose();
    void activateApplication();

    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
    RunningApplications& runningApplications_;
    Dialogs& dialogs_;
    Screens& screens_;
    FavoriteStores& favorites_;
    QPointer<QObject> owner_;
    std::unique_ptr<QWidget> editorWindow_;
    FavoritesTableModel* model_ = nullptr;
    FavoritesDropTableView* tableView_ = nullptr;
    QLabel* hintLabel_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* doneButton_ = nullptr;
    bool columnsFitted_ = false;
    bool layingOutColumns_ = false;
};
