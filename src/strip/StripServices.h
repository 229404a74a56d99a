#pragma once

class ClipboardHistoryService;
class FavoriteStores;
class RecentAccessService;
class RecentDocumentsService;
class RecentFoldersService;
class RunningApplicationsHistoryService;

// The program's services behind the strip's menus. They are made before the strip and outlive
// it; the strip hands each of its parts the ones that part uses.
struct StripServices {
    RecentDocumentsService& documents;
    RecentFoldersService& folders;
    RecentAccessService& access;
    RunningApplicationsHistoryService& applications;
    ClipboardHistoryService& clipboard;
    FavoriteStores& favorites;
};
