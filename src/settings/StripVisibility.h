#pragma once

#include "common/NotificationCenter.h"
#include "platform/UserDefaults.h"

// Whether the strip is shown: the General settings tab writes it, the status-bar controller
// and the start-up read it. Absent means shown.
inline constexpr DefaultsKey<bool> kStripVisibleKey{"PeloraStripVisible", true};
// Posted after kStripVisibleKey was written; the status-bar controller shows or hides the strip.
inline constexpr NotificationName kStripVisibilityDidChange{"PeloraStripVisibilityDidChange"};

inline bool isStripVisible(const UserDefaults& defaults) {
    if (!defaults.contains(kStripVisibleKey.key()))
        return true;
    return defaults.boolForKey(kStripVisibleKey.key(), false);
}
