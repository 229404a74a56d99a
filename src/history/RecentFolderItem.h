#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

// One folder entry of the folders menu.
struct RecentFolderItem {
    QUrl url;
    QString displayName;
    QIcon icon;
};
