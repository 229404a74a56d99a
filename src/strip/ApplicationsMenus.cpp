#include "strip/ApplicationsMenus.h"

#include "common/Symbols.h"
#include "common/Texts.h"
#include "favorites/FavoritesService.h"
#include "history/RecentApplicationsService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "platform/PeloraIdentity.h"
#include "platform/Workspace.h"
#include "strip/MenuEntryOpener.h"
#include "strip/MenuIcons.h"
#include "strip/ModuleMenuItems.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

namespace {

constexpr int kMenuIconSize = 16;

// A running application's icon drawn once at menu size, so the menu keeps no theme lookups.
QIcon menuIcon(Workspace& workspace, const RunningApplication& app) {
    if (app.iconName.isEmpty())
        return {};
    return menuIconAtSize(workspace.iconForName(app.iconName), kMenuIconSize);
}

} // namespace

bool opensBefore(const RunningApplication& a, const std::optional<QDateTime>& aActivated,
                 const RunningApplication& b, const std::optional<QDateTime>& bActivated) {
    if (aActivated && bActivated && *aActivated != *bActivated)
        return *aActivated > *bActivated;
    if (aActivated && !bActivated)
        return true;
    if (!aActivated && bActivated)
        return false;
    return QString::compare(a.localizedName.value_or(QString()),
                            b.localizedName.value_or(QString()), Qt::CaseSensitive) < 0;
}

using namespace ModuleMenuItems;

ApplicationsMenus::ApplicationsMenus(Bundle& bundle, RunningApplications& runningApplications,
                                     Workspace& workspace,
                                     RunningApplicationsHistoryService& history,
                                     FavoriteStores& favorites, MenuEntryOpener& opener,
                                     QObject* parent)
    : QObject(parent), bundle_(bundle), runningApplications_(runningApplications),
      workspace_(workspace), history_(history), favorites_(favorites), opener_(opener) {}

std::unique_ptr<QMenu> ApplicationsMenus::makeApplicationsMenu() {
    history_.start();
    const QList<RecentAppItem> recentApps = history_.recentApplications(
        RecentApplicationsService::maxResults, PeloraIdentity::bundleIdentifier(bundle_));

    std::unique_ptr<QMenu> menu(makeMenu(appsTitle));
    addHeaderItem(*menu, L("strip.menu.recentApplications"));
    if (!recentApps.isEmpty()) {
        for (const RecentAppItem& item : recentApps)
            addEntryItem(*menu, item.displayName, item.icon, this,
                         [this, url = item.url] { launchApplication(url); });
        addClearItem(*menu, this, [this] { clearRecentApps(); });
        menu->addSeparator();
    } else {
        addEmptyStateItem(*menu, L("strip.emptyState.noRecentApplications"));
    }
    addHeaderItem(*menu, L("strip.menu.favoriteApplications"));
    FavoritesService& store = favorites_.store(FavoritesCategory::applications);
    for (const FavoriteItem& favorite : store.favorites())
        addEntryItem(*menu, favorite.displayName, favorite.icon, this,
                     [this, url = favorite.url] { launchApplication(url); });
    store.refresh();
    addEditItem(*menu, this, [this] { Q_EMIT editFavoritesRequested(); });
    return menu;
}

std::unique_ptr<QMenu> ApplicationsMenus::makeOpenAppsMenu() {
    std::unique_ptr<QMenu> menu(makeMenu(windowsTitle));
    addHeaderItem(*menu, L("strip.menu.openApps"));

    struct Listed {
        RunningApplication app;
        std::optional<QDateTime> activated;
    };
    QList<Listed> listed;
    for (RunningApplication& app : runningApplications_.runningApplications()) {
        if (!isUserApplication(app) || app.isPelora)
            continue;
        std::optional<QDateTime> activated = history_.lastActivationDate(app);
        listed.append(Listed{std::move(app), std::move(activated)});
    }
    // Stable: applications the order cannot tell apart keep the window system's order.
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return opensBefore(a.app, a.activated, b.app, b.activated);
    });

    if (listed.isEmpty())
        addEmptyStateItem(*menu, L("strip.emptyState.noAppsRunning"));
    for (const Listed& entry : listed) {
        const QString title = entry.app.localizedName.value_or(L("strip.app.unknownName"));
        addEntryItem(*menu, title, menuIcon(workspace_, entry.app), this,
                     [this, app = entry.app] { activateApp(app); });
    }
    menu->addSeparator();
    addEntryItem(*menu, L("strip.menu.hideAll"),
                 menuSymbolIcon(QStringLiteral("eye.slash"), menu->palette()), this,
                 [this] { hideAllApps(); });
    return menu;
}

void ApplicationsMenus::launchApplication(const QUrl& url) {
    opener_.launchApplicationAt(url);
}

void ApplicationsMenus::clearRecentApps() {
    // The activation dates stay: they still order the open-applications menu.
    history_.clearHistory();
}

void ApplicationsMenus::activateApp(const RunningApplication& app) {
    RunningApplications& running = runningApplications_;
    if (app.hidden)
        running.unhide(app);
    if (app.bundleURL)
        opener_.launchApplicationAt(*app.bundleURL);
    else
        running.activate(app);
}

void ApplicationsMenus::hideAllApps() {
    RunningApplications& running = runningApplications_;
    for (const RunningApplication& app : running.runningApplications())
        if (isUserApplication(app) && !app.isPelora && !app.hidden)
            running.hide(app);
}
