#pragma once

#include "support/FakePlatform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

// Every platform service faked, as the whole program needs them: the strip, the tray menu,
// the settings and About windows.
class WholeProgramTest : public ::testing::Test {
protected:
    ~WholeProgramTest() override { drainEvents(); }

    FakePlatform fakes;
    Platform platform = fakes.platform();
    std::shared_ptr<FakeBundle> bundle = fakes.bundle;
    std::shared_ptr<InMemoryUserDefaults> defaults = fakes.defaults;
    std::shared_ptr<FakeDialogs> dialogs = fakes.dialogs;
    std::shared_ptr<FakePasteboard> pasteboard = fakes.pasteboard;
    std::shared_ptr<FakeRunningApplications> running = fakes.running;
    std::shared_ptr<FakeWorkspace> workspace = fakes.workspace;
};
