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
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

// Every platform service faked, as the whole program needs them: the strip, the tray menu,
// the settings and About windows.
class WholeProgramTest : public ::testing::Test {
protected:
    WholeProgramTest() {
        platform.bundle = bundle;
        platform.defaults = defaults;
        platform.dialogs = dialogs;
        platform.screens = std::make_shared<FakeScreens>();
        platform.windowDecorations = std::make_shared<FakeWindowDecorations>();
        platform.pasteboard = pasteboard;
        platform.recentItemsIndex = std::make_shared<FakeRecentItemsIndex>();
        platform.runningApplications = running;
        platform.workspace = workspace;
        platform.fileSystem = std::make_shared<FakeFileSystem>();
        platform.bookmarks = std::make_shared<FakeBookmarkService>();
        platform.loginItems = std::make_shared<FakeLoginItems>();
    }
    ~WholeProgramTest() override { drainEvents(); }

    Platform platform;
    std::shared_ptr<FakeBundle> bundle = std::make_shared<FakeBundle>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeRunningApplications> running = std::make_shared<FakeRunningApplications>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};
