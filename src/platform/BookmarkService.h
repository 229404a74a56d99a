#pragma once

#include <QByteArray>
#include <QUrl>
#include <optional>

// Durable references to files: a blob that can be stored and later turned back into the
// file's current URL, or fail. Scoped access is started right before an item is opened and
// stopped right after.
class BookmarkService {
public:
    virtual ~BookmarkService() = default;

    // nullopt when the item cannot be referenced (missing, or not readable by the user).
    virtual std::optional<QByteArray> createBookmark(const QUrl& url, bool securityScoped) = 0;
    // The URL the blob refers to now, or nullopt when it no longer resolves.
    virtual std::optional<QUrl> resolveBookmark(const QByteArray& data, bool securityScoped) = 0;
    // The same, also telling whether the blob is stale: the item was found other than as the
    // blob describes it (renamed, moved, replaced), so a fresh reference should be stored.
    virtual std::optional<QUrl> resolveBookmarkAndStaleness(const QByteArray& data,
                                                            bool securityScoped, bool& isStale) {
        isStale = false;
        return resolveBookmark(data, securityScoped);
    }
    // Where the item was when the blob was made, read from the blob alone without asking the
    // file system; nullopt when the blob does not tell.
    virtual std::optional<QUrl> recordedURL(const QByteArray& data) const {
        Q_UNUSED(data);
        return std::nullopt;
    }
    virtual bool startAccessing(const QUrl& url) = 0;
    virtual void stopAccessing(const QUrl& url) = 0;
};
