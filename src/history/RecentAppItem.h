#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

// One entry of the applications menu: an application used lately.
struct RecentAppItem {
    QUrl url; // file URL of the application bundle (on Linux its desktop entry)
    QString displayName;
    QIcon icon; // shown at 16 x 16
};
