#pragma once

#include "clipboard/ClipboardHistoryService.h"
#include "favorites/FavoritesService.h"
#include "history/RecentAccessService.h"
#include "history/RecentDocumentsService.h"
#include "history/RecentFoldersService.h"
#include "history/RunningApplicationsHistoryService.h"
#include "strip/StripServices.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"

#include <functional>

// The services behind the strip over the fakes, and the strip itself, made as the program
// makes them. adjust may put other services in place of fakes.
struct StripTestServices {
    explicit StripTestServices(const std::function<void(Platform&)>& adjust = {})
        : services([&] {
              Platform platform = fakes.platform();
              if (adjust)
                  adjust(platform);
              return std::make_unique<Services>(platform);
          }()) {}

    FakePlatform fakes;
    std::unique_ptr<Services> services;
    Services& s = *services;
    RecentAccessService access{s.defaults(), s.fileSystem(), s.bookmarks()};
    RecentDocumentsService documents{s.defaults(), s.fileSystem(), s.recentItemsIndex(),
                                     s.runningApplications(), s.workspace()};
    RecentFoldersService folders{s.defaults(), s.fileSystem(), s.recentItemsIndex(), s.workspace()};
    RunningApplicationsHistoryService applications{s.bundle(), s.defaults(),
                                                   s.runningApplications(), s.workspace()};
    ClipboardHistoryService clipboard{s.runningApplications(), s.workspace(), s.pasteboard()};
    FavoriteStores favorites{s.defaults(), s.fileSystem(), s.bookmarks(), s.workspace()};
    std::unique_ptr<StripWindowController> controller = std::make_unique<StripWindowController>(
        *services, StripServices{documents, folders, access, applications, clipboard, favorites});
};
