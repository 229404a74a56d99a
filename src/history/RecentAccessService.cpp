#include "history/RecentAccessService.h"

#include "common/FileURL.h"
#include "platform/BookmarkService.h"
#include "platform/FileSystem.h"

RecentAccessService::RecentAccessService(UserDefaults& defaults, FileSystem& fileSystem,
                                         BookmarkService& bookmarks)
    : defaults_(defaults), fileSystem_(fileSystem), bookmarks_(bookmarks) {}

bool RecentAccessService::covers(const QUrl& grant, const QUrl& target) {
    if (target == grant)
        return true;
    if (!grant.isLocalFile() || !target.isLocalFile())
        return false;
    QString folder = standardizedPath(grant);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    // "Doc/" does not cover the sibling "Docs".
    return standardizedPath(target).startsWith(folder);
}

QList<QByteArray> RecentAccessService::loadGrants() const {
    const std::optional<QVariantList> stored = defaults_.arrayForKey(storageKey.key());
    if (!stored)
        return {};
    QList<QByteArray> grants;
    grants.reserve(stored->size());
    for (const QVariant& value : *stored) {
        if (!variantIsData(value))
            return {};
        grants.append(value.toByteArray());
    }
    return grants;
}

void RecentAccessService::saveGrants(const QList<QByteArray>& grants) {
    QVariantList values;
    values.reserve(grants.size());
    for (const QByteArray& grant : grants)
        values.append(grant);
    defaults_.setObject(storageKey.key(), values);
}

bool RecentAccessService::storeGrant(const QUrl& url) {
    const QUrl normalised = resolvedFileURL(url, fileSystem_);
    const std::optional<QByteArray> grant = bookmarks_.createBookmark(normalised, true);
    if (!grant)
        return false;
    QList<QByteArray> grants = loadGrants();
    grants.removeIf([&](const QByteArray& stored) {
        const std::optional<QUrl> resolved = bookmarks_.resolveBookmark(stored, true);
        return resolved && resolvedFileURL(*resolved, fileSystem_) == normalised;
    });
    grants.append(*grant);
    saveGrants(grants);
    return true;
}

std::optional<QUrl> RecentAccessService::accessURL(const QUrl& url) {
    const QUrl target = resolvedFileURL(url, fileSystem_);
    QList<QByteArray> grants = loadGrants();

    std::optional<QByteArray> match;
    bool sawDeadGrant = false;
    for (const QByteArray& grant : grants) {
        const std::optional<QUrl> resolved = bookmarks_.resolveBookmark(grant, true);
        if (!resolved) {
            sawDeadGrant = true;
            continue;
        }
        if (covers(resolvedFileURL(*resolved, fileSystem_), target)) {
            match = grant;
            break;
        }
    }
    if (sawDeadGrant) {
        grants.removeIf(
            [&](const QByteArray& grant) { return !bookmarks_.resolveBookmark(grant, true); });
        saveGrants(grants);
    }
    if (!match)
        return std::nullopt;
    return bookmarks_.resolveBookmark(*match, true);
}
