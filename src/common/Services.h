#pragma once

#include "platform/Platform.h"

#include <QtGlobal>
#include <memory>

// The operating system's services, each checked to be provided. The composition and the two
// window controllers that assemble parts hold it; every other class is given the services it
// uses by name. Tests build their own over fakes. Main thread.
class Services {
public:
    explicit Services(Platform platform) : platform_(std::move(platform)) {}
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    Bundle& bundle() const { return need(platform_.bundle, "bundle"); }
    UserDefaults& defaults() const { return need(platform_.defaults, "defaults"); }
    FileSystem& fileSystem() const { return need(platform_.fileSystem, "fileSystem"); }
    BookmarkService& bookmarks() const { return need(platform_.bookmarks, "bookmarks"); }
    Workspace& workspace() const { return need(platform_.workspace, "workspace"); }
    RunningApplications& runningApplications() const {
        return need(platform_.runningApplications, "runningApplications");
    }
    Pasteboard& pasteboard() const { return need(platform_.pasteboard, "pasteboard"); }
    RecentItemsIndex& recentItemsIndex() const {
        return need(platform_.recentItemsIndex, "recentItemsIndex");
    }
    LoginItems& loginItems() const { return need(platform_.loginItems, "loginItems"); }
    Dialogs& dialogs() const { return need(platform_.dialogs, "dialogs"); }
    Screens& screens() const { return need(platform_.screens, "screens"); }
    WindowDecorations& windowDecorations() const {
        return need(platform_.windowDecorations, "windowDecorations");
    }
    GlobalShortcuts& globalShortcuts() const {
        return need(platform_.globalShortcuts, "globalShortcuts");
    }

private:
    template <class T> static T& need(const std::shared_ptr<T>& p, const char* what) {
        if (!p)
            qFatal("Pelora: the platform service '%s' is not provided", what);
        return *p;
    }

    Platform platform_;
};
