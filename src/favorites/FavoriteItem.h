#pragma once

#include <QDateTime>
#include <QIcon>
#include <QString>
#include <QUrl>

// One favorite as the menus and the editor show it.
struct FavoriteItem {
    QUrl url;            // where the stored reference resolved to
    QString displayName; // the file manager's name; applications without ".app"
    QIcon icon;          // the workspace icon; menus draw it at 16 by 16
    QDateTime addedAt;

    // Only the location identifies a favorite.
    bool operator==(const FavoriteItem& other) const { return url == other.url; }
};
