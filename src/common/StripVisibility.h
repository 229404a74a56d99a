#pragma once

#include "platform/UserDefaults.h"

// Whether the strip is shown. Written by the General settings tab and the command line; read
// at start-up, and followed by the status-bar item, which shows or hides the strip on every
// write ("PeloraStripVisibilityDidChange").
inline const DefaultsKey<bool> stripVisibleKey{"PeloraStripVisible", true};

// Absent means shown.
inline bool isStripVisible(const UserDefaults& defaults) {
    return stripVisibleKey.read(defaults);
}
