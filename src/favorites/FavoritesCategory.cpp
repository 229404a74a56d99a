#include "favorites/FavoritesCategory.h"

#include "common/FileURL.h"
#include "common/Texts.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>

namespace {
struct CategoryInfo {
    FavoritesCategory category;
    DefaultsKey<QVariantList> bookmarksKey; // array of reference blobs, oldest first
    const char* displayNameKey;
};

const std::array<CategoryInfo, 3>& categoryTable() {
    static const std::array<CategoryInfo, 3> table{{
        {FavoritesCategory::documents,
         {"PeloraFavoriteBookmarks", {}},
         QT_TRID_NOOP("strip.favoriteType.document")},
        {FavoritesCategory::folders,
         {"PeloraFavoriteFolders", {}},
         QT_TRID_NOOP("strip.favoriteType.folder")},
        {FavoritesCategory::applications,
         {"PeloraFavoriteApps", {}},
         QT_TRID_NOOP("strip.favoriteType.application")},
    }};
    return table;
}

const CategoryInfo& infoFor(FavoritesCategory category) {
    for (const auto& info : categoryTable())
        if (info.category == category)
            return info;
    return categoryTable().front();
}
} // namespace

QString rawValue(FavoritesCategory category) {
    return infoFor(category).bookmarksKey.key();
}

std::optional<FavoritesCategory> favoritesCategoryFromRawValue(const QString& raw) {
    for (const auto& info : categoryTable())
        if (info.bookmarksKey.key() == raw)
            return info.category;
    return std::nullopt;
}

const char* displayNameKey(FavoritesCategory category) {
    return infoFor(category).displayNameKey;
}

QString displayName(FavoritesCategory category) {
    return L(displayNameKey(category));
}

FavoritesCategory classifyFavoriteURL(const QUrl& normalisedURL) {
    QString path =
        normalisedURL.isLocalFile() ? standardizedPath(normalisedURL) : normalisedURL.path();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == u"app")
        return FavoritesCategory::applications;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (extension == u"desktop")
        return FavoritesCategory::applications;
#endif
    if (normalisedURL.isLocalFile() && QFileInfo(path).isDir())
        return FavoritesCategory::folders;
    return FavoritesCategory::documents;
}
