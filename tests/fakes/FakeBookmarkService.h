#pragma once

#include "platform/BookmarkService.h"

#include <QHash>
#include <QSet>

// References the test controls. A blob names the URL it was made for; by default it resolves
// back to that URL whether or not anything exists there. Tests can make references stop
// resolving, resolve elsewhere, or fail to be created.
class FakeBookmarkService : public BookmarkService {
public:
    QSet<QUrl> uncreatable;       // no reference at all can be made for these
    QSet<QUrl> scopedUncreatable; // only references without the scoped option
    QSet<QUrl> broken;            // references made for these no longer resolve
    QHash<QUrl, QUrl> movedTo;    // references made for the key resolve to the value
    QSet<QUrl> needsAccess;       // reached only while the access handed with them is held

    static QByteArray blobFor(const QUrl& url, bool scoped) {
        return (scoped ? QByteArrayLiteral("fake-bookmark:s:")
                       : QByteArrayLiteral("fake-bookmark:u:")) +
               url.toEncoded();
    }
    std::optional<QByteArray> createBookmark(const QUrl& url, bool scoped) override {
        if (!url.isValid() || uncreatable.contains(url) ||
            (needsAccess.contains(url) && !accessing_.contains(url)) ||
            (scoped && scopedUncreatable.contains(url)))
            return std::nullopt;
        return blobFor(url, scoped);
    }
    std::optional<QUrl> resolveBookmark(const QByteArray& data, bool scoped) override {
        static const QByteArray prefix("fake-bookmark:");
        if (!data.startsWith(prefix) || data.size() < prefix.size() + 2)
            return std::nullopt;
        const QUrl url = QUrl::fromEncoded(data.mid(prefix.size() + 2));
        if (broken.contains(url) || (scoped && !data.startsWith("fake-bookmark:s:")))
            return std::nullopt;
        return movedTo.value(url, url);
    }
    std::optional<QUrl> recordedURL(const QByteArray& data) const override {
        return data.startsWith("fake-bookmark:") ? std::optional(QUrl::fromEncoded(data.mid(16)))
                                                 : std::nullopt;
    }
    bool startAccessing(const QUrl& url) override {
        ++accessing_[url];
        return true;
    }
    void stopAccessing(const QUrl& url) override {
        if (--accessing_[url] <= 0)
            accessing_.remove(url);
    }

private:
    QHash<QUrl, int> accessing_;
};
