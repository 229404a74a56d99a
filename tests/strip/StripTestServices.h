#pragma once

#include "composition/PeloraServices.h"
#include "strip/StripWindowController.h"
#include "support/FakePlatform.h"

#include <functional>

// The program's services over the fakes, made as the program makes them, and the strip over
// them. adjust may put other services in place of fakes.
struct StripTestServices {
    explicit StripTestServices(const std::function<void(Platform&)>& adjust = {})
        : services([&] {
              Platform platform = fakes.platform();
              if (adjust)
                  adjust(platform);
              return platform;
          }()) {}

    FakePlatform fakes;
    PeloraServices services;
    Services& s = services.system;
    RecentAccessService& access = services.access;
    RecentDocumentsService& documents = services.documents;
    RecentFoldersService& folders = services.folders;
    RunningApplicationsHistoryService& applications = services.applications;
    ClipboardHistoryService& clipboard = services.clipboard;
    FavoriteStores& favorites = services.favorites;
    std::unique_ptr<StripWindowController> controller =
        std::make_unique<StripWindowController>(s, services.strip());
};
