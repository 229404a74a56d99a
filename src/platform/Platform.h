#pragma once

#include <memory>

class Bundle;
class UserDefaults;
class FileSystem;
class BookmarkService;
class Workspace;
class RunningApplications;
class Pasteboard;
class RecentItemsIndex;
class LoginItems;
class Dialogs;
class Screens;
class WindowDecorations;
class GlobalShortcuts;

// The operating-system services, one implementation each: the real ones in the program,
// fakes in tests. The program provides every one of them.
struct Platform {
    std::shared_ptr<Bundle> bundle;
    std::shared_ptr<UserDefaults> defaults;
    std::shared_ptr<FileSystem> fileSystem;
    std::shared_ptr<BookmarkService> bookmarks;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<RunningApplications> runningApplications;
    std::shared_ptr<Pasteboard> pasteboard;
    std::shared_ptr<RecentItemsIndex> recentItemsIndex;
    std::shared_ptr<LoginItems> loginItems;
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<Screens> screens;
    std::shared_ptr<WindowDecorations> windowDecorations;
    std::shared_ptr<GlobalShortcuts> globalShortcuts;
};
