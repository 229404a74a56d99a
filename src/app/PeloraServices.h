#pragma once

#include "about/AboutWindow.h"
#include "about/LicenseWindow.h"
#include "clipboard/ClipboardHistoryService.h"
#include "common/Services.h"
#include "favorites/FavoritesService.h"
#include "history/RecentAccessService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "settings/PeloraUpdatePreferences.h"
#include "settings/SettingsWindowController.h"
#include "settings/UpdateWindowController.h"
#include "settings/VersionCheckService.h"
#include "strip/StripServices.h"

#include <memory>

// Every service of the program, each made on first use after those it depends on, which its
// constructor is given; destroyed in reverse. The settings window gets its main menu here, as
// it is made. Tests make one over fakes. Main thread.
class PeloraServices {
public:
    // versionDocumentURL: where updates are asked for; tests give a local server's.
    explicit PeloraServices(Platform platform, QUrl versionDocumentURL = makerVersionDocumentURL());
    ~PeloraServices();
    PeloraServices(const PeloraServices&) = delete;
    PeloraServices& operator=(const PeloraServices&) = delete;

    Services& platform() { return platform_; }

    RecentAccessService& access() {
        return made(access_, platform_.defaults(), platform_.fileSystem(), platform_.bookmarks());
    }
    RecentDocumentsService& documents() {
        return made(documents_, platform_.defaults(), platform_.fileSystem(),
                    platform_.recentItemsIndex(), platform_.runningApplications(),
                    platform_.workspace());
    }
    RecentFoldersService& folders() {
        return made(folders_, platform_.defaults(), platform_.fileSystem(),
                    platform_.recentItemsIndex(), platform_.workspace());
    }
    RunningApplicationsHistoryService& applications() {
        return made(applications_, platform_.bundle(), platform_.defaults(),
                    platform_.runningApplications(), platform_.workspace());
    }
    ClipboardHistoryService& clipboard() {
        return made(clipboard_, platform_.runningApplications(), platform_.workspace(),
                    platform_.pasteboard());
    }
    FavoriteStores& favorites() {
        return made(favorites_, platform_.defaults(), platform_.fileSystem(), platform_.bookmarks(),
                    platform_.workspace());
    }
    StripServices strip() {
        return {documents(), folders(), access(), applications(), clipboard(), favorites()};
    }

    PeloraUpdatePreferences& updatePreferences() {
        return made(updatePreferences_, platform_.defaults());
    }
    UpdateWindowController& updateWindows() {
        return made(updateWindows_, platform_.bundle(), platform_.runningApplications(),
                    platform_.workspace(), updatePreferences());
    }
    VersionCheckService& versionCheck() {
        return made(versionCheck_, platform_.bundle(), platform_.defaults(), platform_.workspace(),
                    platform_.dialogs(), updateWindows(), versionDocumentURL_);
    }
    AboutWindowKeeper& about() {
        return made(about_, platform_.bundle(), platform_.workspace(),
                    platform_.runningApplications());
    }
    LicenseWindowKeeper& license() {
        return made(license_, platform_.bundle(), platform_.workspace());
    }
    SettingsWindowController& settings();

private:
    template <class T, class... Args> static T& made(std::unique_ptr<T>& slot, Args&&... args) {
        if (!slot)
            slot = std::make_unique<T>(std::forward<Args>(args)...);
        return *slot;
    }

    Services platform_;
    QUrl versionDocumentURL_;
    // Each after those it uses, so none outlives what it depends on.
    std::unique_ptr<RecentAccessService> access_;
    std::unique_ptr<RecentDocumentsService> documents_;
    std::unique_ptr<RecentFoldersService> folders_;
    std::unique_ptr<RunningApplicationsHistoryService> applications_;
    std::unique_ptr<ClipboardHistoryService> clipboard_;
    std::unique_ptr<FavoriteStores> favorites_;
    std::unique_ptr<PeloraUpdatePreferences> updatePreferences_;
    std::unique_ptr<UpdateWindowController> updateWindows_;
    std::unique_ptr<VersionCheckService> versionCheck_;
    std::unique_ptr<AboutWindowKeeper> about_;
    std::unique_ptr<LicenseWindowKeeper> license_;
    std::unique_ptr<SettingsWindowController> settings_;
};
