#include "platform/linux/LinuxPlatform.h"

#include <gtest/gtest.h>

// Every service the program reaches through Services must be there: a missing one ends the
// program the first time it is asked for (the settings window's login item, for one).
TEST(LinuxPlatform, ProvidesEveryService) {
    const Platform platform = makeLinuxPlatform();
    EXPECT_TRUE(platform.bundle);
    EXPECT_TRUE(platform.defaults);
    EXPECT_TRUE(platform.fileSystem);
    EXPECT_TRUE(platform.bookmarks);
    EXPECT_TRUE(platform.workspace);
    EXPECT_TRUE(platform.runningApplications);
    EXPECT_TRUE(platform.pasteboard);
    EXPECT_TRUE(platform.recentItemsIndex);
    EXPECT_TRUE(platform.loginItems);
    EXPECT_TRUE(platform.dialogs);
    EXPECT_TRUE(platform.screens);
    EXPECT_TRUE(platform.windowDecorations);
}
