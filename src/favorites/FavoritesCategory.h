#pragma once

#include <QString>
#include <QUrl>
#include <array>
#include <optional>

// The three kinds of favorites, in the order the program lists them.
enum class FavoritesCategory { documents, folders, applications };

inline constexpr std::array<FavoritesCategory, 3> allFavoritesCategories{
    FavoritesCategory::documents, FavoritesCategory::folders, FavoritesCategory::applications};

// The raw value, which is also the defaults key of the category's bookmark list.
QString rawValue(FavoritesCategory category);
// Only the three raw values name a category.
std::optional<FavoritesCategory> favoritesCategoryFromRawValue(const QString& raw);
// The localised name of the category, as the favorites editor shows it.
QString displayName(FavoritesCategory category);
const char* displayNameKey(FavoritesCategory category);

// The category a dropped or picked item belongs to, for an already normalised URL: an
// application bundle (or, on freedesktop systems, a desktop entry), else an existing folder,
// else a document.
FavoritesCategory classifyFavoriteURL(const QUrl& normalisedURL);
