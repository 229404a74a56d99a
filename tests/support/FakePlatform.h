#pragma once

#include "common/Services.h"
#include "fakes/FakeBookmarkService.h"
#include "fakes/FakeBundle.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeRecentItemsIndex.h"
#include "fakes/FakeRunningApplications.h"
#include "fakes/FakeScreens.h"
#include "fakes/FakeWindowDecorations.h"
#include "fakes/FakeWorkspace.h"
#include "platform/GlobalShortcuts.h"
#include "platform/UserDefaults.h"

#include <functional>
#include <memory>

// Every platform service faked, each fake reachable by its own type. platform() hands them
// out as the program's Platform record; a test may put a real service in place of one there.
struct FakePlatform {
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeFileSystem> fileSystem = std::make_shared<FakeFileSystem>();
    std::shared_ptr<FakeBookmarkService> bookmarks = std::make_shared<FakeBookmarkService>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeRecentItemsIndex> recentItemsIndex =
        std::make_shared<FakeRecentItemsIndex>();
    std::shared_ptr<FakeLoginItems> loginItems = std::make_shared<FakeLoginItems>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<FakeScreens> screens = std::make_shared<FakeScreens>();
    std::shared_ptr<FakeWindowDecorations> windowDecorations =
        std::make_shared<FakeWindowDecorations>();
    std::shared_ptr<ManualGlobalShortcuts> globalShortcuts =
        std::make_shared<ManualGlobalShortcuts>();

    // The list tells the program itself as the program's own does.
    FakePlatform() {
        running->identifyPeloraBy(std::make_shared<PeloraIdentity>(*bundle, *workspace));
    }

    Platform platform() const {
        return {bundle,  defaults,          fileSystem,       bookmarks,  workspace,
                running, pasteboard,        recentItemsIndex, loginItems, dialogs,
                screens, windowDecorations, globalShortcuts};
    }
};

// A service made on first use (after the test has put in place what it should find) and
// dropped by reset(), as the program's end drops it.
template <class T> class LazyService {
public:
    explicit LazyService(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}
    T& operator*() {
        if (!made_)
            made_ = make_();
        return *made_;
    }
    T* operator->() { return &**this; }
    void reset() { made_.reset(); }

private:
    std::function<std::unique_ptr<T>()> make_;
    std::unique_ptr<T> made_;
};
