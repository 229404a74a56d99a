#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

// One document entry of the documents menu.
struct RecentDocumentItem {
    QUrl url;
    QString displayName;
    QIcon icon;
    QString appName;
    QIcon appIcon;
};
