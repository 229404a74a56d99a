#pragma once

#include "platform/BookmarkService.h"

#include <QHash>
#include <QList>
#include <QSet>

// References the test controls. A blob names the URL it was made for; by default it resolves
// back to that URL whether or not anything exists there. Tests can make references stop
// resolving, resolve elsewhere, or fail to be created, and see every call made.
class FakeBookmarkService : public BookmarkService {
public:
    QSet<QUrl> uncreatable;       // no reference at all can be made for these
    QSet<QUrl> scopedUncreatable; // only references without the scoped option
    QSet<QUrl> broken;            // references made for these no longer resolve
    QHash<QUrl, QUrl> movedTo;    // references made for the key resolve to the value
    bool scopedResolutionFails = false;
    bool startSucceeds = true;

    struct Creation {
        QUrl url;
        bool scoped;
    };
    QList<Creation> creations; // successful creations, in order
    QList<QUrl> starts, stops; // every call, in order
    int resolveCalls = 0;

    static QByteArray blobFor(const QUrl& url, bool scoped) {
        return (scoped ? QByteArrayLiteral("fake-bookmark:s:")
                       : QByteArrayLiteral("fake-bookmark:u:")) +
               url.toEncoded();
    }
    // The URL a blob was made for, or an empty URL for anything else.
    static QUrl urlOfBlob(const QByteArray& data) {
        static const QByteArray prefix("fake-bookmark:");
        if (!data.startsWith(prefix) || data.size() < prefix.size() + 2)
            return {};
        return QUrl::fromEncoded(data.mid(prefix.size() + 2));
    }
    static bool blobIsScoped(const QByteArray& data) { return data.startsWith("fake-bookmark:s:"); }

    std::optional<QByteArray> createBookmark(const QUrl& url, bool securityScoped) override {
        if (!url.isValid() || uncreatable.contains(url) ||
            (securityScoped && scopedUncreatable.contains(url)))
            return std::nullopt;
        creations.append({url, securityScoped});
        return blobFor(url, securityScoped);
    }
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool securityScoped) override {
        ++resolveCalls;
        const QUrl url = urlOfBlob(data);
        if (url.isEmpty() || broken.contains(url))
            return std::nullopt;
        if (securityScoped && (scopedResolutionFails || !blobIsScoped(data)))
            return std::nullopt;
        return movedTo.value(url, url);
    }
    bool startAccessing(const QUrl& url) override {
        starts.append(url);
        return startSucceeds;
    }
    void stopAccessing(const QUrl& url) override { stops.append(url); }
};
