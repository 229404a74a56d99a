#pragma once

#include "favorites/FavoritesCategory.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

class Dialogs;
class FavoriteStores;
class FavoritesEditorWindow;
class RunningApplications;
class Screens;

// Runs the favorites editor: its window lists the favorites of all three stores, newest first,
// and what the user asks of it (add through the open panel or a drop, remove, open) is done on
// the stores here. The coordinator is a child of its owner, the strip window controller, and
// goes, with its window, once the window has closed. Main thread.
class FavoritesEditWindowCoordinator : public QObject {
    Q_OBJECT
public:
    // Builds the window without showing it. panelFolder is where the + panel starts (the home
    // folder while empty); each pick sets it to the folder it was made in. It outlives the
    // coordinator.
    FavoritesEditWindowCoordinator(RunningApplications& runningApplications, Dialogs& dialogs,
                                   Screens& screens, FavoriteStores& favorites,
                                   QString& panelFolder, QObject* owner);
    ~FavoritesEditWindowCoordinator() override;

    // Fills the table and brings the window, centred on the main screen, to the front.
    void showEditor();
    // Closes the window, which lets the coordinator go.
    void closeEditor();

Q_SIGNALS:
    // A double-click on a row asks the owner to open what it leads to: a document or folder
    // favorite is opened and recorded in its recent history, an application is launched.
    void openFavoriteRequested(const QUrl& url, FavoritesCategory category);
    void launchApplicationRequested(const QUrl& applicationURL);

private:
    // Lists the three stores' favorites, newest first.
    void reloadRows();
    void addThroughPanel();

    RunningApplications& runningApplications_;
    Dialogs& dialogs_;
    Screens& screens_;
    FavoriteStores& favorites_;
    QString& panelFolder_;
    std::unique_ptr<FavoritesEditorWindow> window_;
};
