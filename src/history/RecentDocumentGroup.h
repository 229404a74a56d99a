#pragma once

#include "history/RecentDocumentItem.h"

#include <QList>

// The documents of one application, in the order they were listed.
struct RecentDocumentGroup {
    QString appName;
    QIcon appIcon; // of the group's first item
    QList<RecentDocumentItem> items;
};
