#include "strip/FavoritesEditWindowCoordinator.h"

#include "favorites/FavoritesService.h"
#include "platform/Dialogs.h"
#include "platform/RunningApplications.h"
#include "platform/Screens.h"
#include "strip/FavoritesEditorWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>

FavoritesEditWindowCoordinator::FavoritesEditWindowCoordinator(
    RunningApplications& runningApplications, Dialogs& dialogs, Screens& screens,
    FavoriteStores& favorites, QString& panelFolder, QObject* owner)
    : QObject(owner), runningApplications_(runningApplications), dialogs_(dialogs),
      screens_(screens), favorites_(favorites), panelFolder_(panelFolder),
      window_(std::make_unique<FavoritesEditorWindow>()) {
    FavoritesEditorWindow* window = window_.get();
    connect(window, &FavoritesEditorWindow::addRequested, this,
            &FavoritesEditWindowCoordinator::addThroughPanel);
    connect(window, &FavoritesEditorWindow::urlsDropped, this, [this](const QList<QUrl>& urls) {
        favorites_.add(urls);
        reloadRows();
    });
    connect(window, &FavoritesEditorWindow::removeRequested, this,
            [this](const QList<FavoritesEditorRow>& rows) {
                for (const FavoritesEditorRow& row : rows)
                    favorites_.store(row.category).remove(row.item);
                reloadRows();
            });
    connect(window, &FavoritesEditorWindow::openRequested, this,
            [this](const FavoritesEditorRow& row) {
                if (row.category == FavoritesCategory::applications)
                    Q_EMIT launchApplicationRequested(row.item.url);
                else
                    Q_EMIT openFavoriteRequested(row.item.url, row.category);
            });
    // Checks of the stored favorites end later.
    connect(&favorites_, &FavoriteStores::changed, this,
            &FavoritesEditWindowCoordinator::reloadRows);
    // The window may be in the middle of handling its own close.
    connect(window, &FavoritesEditorWindow::closed, this, &QObject::deleteLater);
}

FavoritesEditWindowCoordinator::~FavoritesEditWindowCoordinator() {
    // What the window reports while it goes no longer reaches here.
    window_->disconnect(this);
}

void FavoritesEditWindowCoordinator::showEditor() {
    runningApplications_.activateCurrentApplication();
    reloadRows();
    QRect area;
    if (const auto main = screens_.mainScreen())
        area = main->visibleFrame.toAlignedRect();
    if (area.isEmpty())
        if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    window_->present(area);
}

void FavoritesEditWindowCoordinator::closeEditor() {
    window_->close();
}

void FavoritesEditWindowCoordinator::reloadRows() {
    QList<FavoritesEditorRow> rows;
    for (FavoritesCategory category : allFavoritesCategories)
        for (const FavoriteItem& item : favorites_.store(category).favorites())
            rows.append({category, item});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const FavoritesEditorRow& a, const FavoritesEditorRow& b) {
                         return a.item.addedAt > b.item.addedAt;
                     });
    window_->setRows(std::move(rows));
}

void FavoritesEditWindowCoordinator::addThroughPanel() {
    runningApplications_.activateCurrentApplication();
    OpenPanelOptions panel;
    panel.canChooseFiles = true;
    panel.canChooseDirectories = true;
    panel.allowsMultipleSelection = true;
    // Never the folder the program happened to be started from.
    panel.directory = panelFolder_.isEmpty() ? QDir::homePath() : panelFolder_;
    panel.parentWindow = window_.get();
    QPointer<FavoritesEditWindowCoordinator> self(this);
    dialogs_.beginOpenPanel(panel, [self](std::optional<QList<QUrl>> urls) {
        if (!self)
            return;
        if (urls && !urls->isEmpty()) {
            // The panel showed the folder that holds what was picked.
            self->panelFolder_ =
                QFileInfo(QDir::cleanPath(urls->first().toLocalFile())).absolutePath();
            self->favorites_.add(*urls);
        }
        // A cancelled panel reloads too: the stores may have changed meanwhile.
        self->reloadRows();
    });
}
