#pragma once

#include "platform/RunningApplications.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class Bundle;
class FavoriteStores;
class MenuEntryOpener;
class QMenu;
class RunningApplications;
class RunningApplicationsHistoryService;
class Workspace;

// The applications menu ("Apps": recent applications, then favorites; the entries launch)
// and the open-applications menu ("Windows": running applications, the last activated on top,
// and hide-all). Main thread.
class ApplicationsMenus : public QObject {
    Q_OBJECT
public:
    ApplicationsMenus(Bundle& bundle, RunningApplications& runningApplications,
                      Workspace& workspace, RunningApplicationsHistoryService& history,
                      FavoriteStores& favorites, MenuEntryOpener& opener,
                      QObject* parent = nullptr);

    // A new applications menu; starts the activation history first. The caller owns it.
    std::unique_ptr<QMenu> makeApplicationsMenu();
    // A new open-applications menu; the caller owns it.
    std::unique_ptr<QMenu> makeOpenAppsMenu();

Q_SIGNALS:
    // An "Edit Favorites…" item was chosen.
    void editFavoritesRequested();

private:
    void launchApplication(const QUrl& url);
    void clearRecentApps();
    void activateApp(const RunningApplication& app);
    void hideAllApps();

    Bundle& bundle_;
    RunningApplications& runningApplications_;
    Workspace& workspace_;
    RunningApplicationsHistoryService& history_;
    FavoriteStores& favorites_;
    MenuEntryOpener& opener_;
};

// Which running applications the open-applications menu lists and hide-all hides, and in what
// order.

// An application the user works with: it has normal, taskbar-visible windows.
inline bool isUserApplication(const RunningApplication& app) {
    return app.regular;
}

// Whether a is listed before b: applications with a known last activation come first, the
// latest on top; the rest, and ties, by name in ordinal, case-sensitive order (an absent name
// counts as empty).
bool opensBefore(const RunningApplication& a, const std::optional<QDateTime>& aActivated,
                 const RunningApplication& b, const std::optional<QDateTime>& bActivated);
