#pragma once

#include "common/NotificationCenter.h"
#include "platform/UserDefaults.h"

// Whether the strip is shown. Written by the General settings tab, which then posts the
// notification; read at start-up and by the status-bar menu, which shows or hides the strip.
inline const DefaultsKey<bool> stripVisibleKey{"PeloraStripVisible", true};
inline constexpr NotificationName stripVisibilityDidChangeNotification{
    "PeloraStripVisibilityDidChange"};

// Absent means shown.
inline bool isStripVisible(const UserDefaults& defaults) {
    return stripVisibleKey.read(defaults);
}
