#pragma once

#include "common/NotificationCenter.h"
#include "platform/Platform.h"

#include <QtGlobal>
#include <functional>
#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

// Owns the process-wide service instances and creates each on first use. Controllers get it
// by reference; tests build their own over fakes, so every test starts clean. Main thread.
class Services {
public:
    explicit Services(Platform platform);
    ~Services();
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

    NotificationCenter& notifications() { return notifications_; }

    // The shared instance of a service type, created on first use with T(Services&) or, for
    // services with one instance per variant (the favorites stores), T(Services&, int).
    template <class T> T& get(int variant = 0) {
        const Key key{std::type_index(typeid(T)), variant};
        for (auto& [k, instance] : instances_)
            if (k == key)
                return *static_cast<T*>(instance.get());
        std::shared_ptr<T> made;
        if constexpr (std::is_constructible_v<T, Services&, int>)
            made = std::make_shared<T>(*this, variant);
        else
            made = std::make_shared<T>(*this);
        instances_.emplace_back(key, made);
        return *made;
    }

    template <class T> bool has(int variant = 0) const {
        const Key key{std::type_index(typeid(T)), variant};
        for (auto& [k, instance] : instances_)
            if (k == key)
                return true;
        return false;
    }

private:
    using Key = std::pair<std::type_index, int>;

    template <class T> static T& need(const std::shared_ptr<T>& p, const char* what) {
        if (!p)
            qFatal("Pelora: the platform service '%s' is not provided", what);
        return *p;
    }

    Platform platform_;
    NotificationCenter notifications_;
    // In creation order; destroyed in reverse, so later services may use earlier ones.
    std::vector<std::pair<Key, std::shared_ptr<void>>> instances_;
};
