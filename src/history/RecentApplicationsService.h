#pragma once

#include "history/RecentAppItem.h"

class Services;

// Holds the size of the applications list; nothing else is asked of it.
class RecentApplicationsService {
public:
    explicit RecentApplicationsService(Services&) {}

    const int maxResults = 10;
};
