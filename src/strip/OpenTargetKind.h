#pragma once

#include "favorites/FavoritesCategory.h"

// What an open request is for: it picks the history that records the open, the shape of the
// access request, and whether the item is launched instead. Same order as FavoritesCategory.
enum class OpenTargetKind { document, folder, application };

inline OpenTargetKind openTargetKind(FavoritesCategory category) {
    switch (category) {
    case FavoritesCategory::documents:
        return OpenTargetKind::document;
    case FavoritesCategory::folders:
        return OpenTargetKind::folder;
    case FavoritesCategory::applications:
        return OpenTargetKind::application;
    }
    return OpenTargetKind::document;
}
