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

// The program's services, declared in the order they are made: each after those it is given,
// so destruction, in reverse, never leaves one holding a gone dependency. Construction starts
// nothing, shows nothing and stores nothing; windows are made inside their keepers when first
// shown. The program makes one over the real platform, tests one over fakes. Main thread.
struct PeloraServices {
    // versionDocumentURL: where updates are asked for; tests give a local server's.
    explicit PeloraServices(Platform platform, QUrl versionDocumentURL = makerVersionDocumentURL());
    PeloraServices(const PeloraServices&) = delete;
    PeloraServices& operator=(const PeloraServices&) = delete;

    // The services behind the strip's menus.
    StripServices strip() {
        return {documents, folders, access, applications, clipboard, favorites};
    }

    // The operating system's.
    Services system;

    RecentAccessService access{system.defaults(), system.fileSystem(), system.bookmarks()};
    RecentDocumentsService documents{system.defaults(), system.fileSystem(),
                                     system.recentItemsIndex(), system.runningApplications(),
                                     system.workspace()};
    RecentFoldersService folders{system.defaults(), system.fileSystem(), system.recentItemsIndex(),
                                 system.workspace()};
    RunningApplicationsHistoryService applications{
        system.bundle(), system.defaults(), system.runningApplications(), system.workspace()};
    ClipboardHistoryService clipboard{system.runningApplications(), system.workspace(),
                                      system.pasteboard()};
    FavoriteStores favorites{system.defaults(), system.fileSystem(), system.bookmarks(),
                             system.workspace()};

    PeloraUpdatePreferences updatePreferences{system.defaults()};
    UpdateWindowController updateWindows{system.bundle(), system.runningApplications(),
                                         system.workspace(), updatePreferences};
    VersionCheckService versionCheck;

    AboutWindowKeeper about{system.bundle(), system.workspace(), system.runningApplications()};
    LicenseWindowKeeper license{system.bundle(), system.workspace()};
    SettingsWindowController settings{system, updatePreferences, versionCheck};
};
