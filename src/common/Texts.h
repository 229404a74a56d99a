#pragma once

#include <QString>

// The localised text for a key; a key without a text shows itself.
inline QString L(const char* key) {
    return qtTrId(key);
}
