#pragma once

#include "history/RecentAppItem.h"

// Holds the size of the applications list; nothing else is asked of it.
class RecentApplicationsService {
public:
    static constexpr int maxResults = 10;
};
