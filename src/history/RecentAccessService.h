#pragma once

#include "platform/UserDefaults.h"

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <optional>

class BookmarkService;
class FileSystem;
class UserDefaults;

// Stored access grants: durable scoped references to items the user let the program open,
// and which of them covers a given URL. A grant for a folder covers the folder and everything
// below it. Starting and stopping access is the caller's business. Main thread only.
class RecentAccessService {
public:
    static inline const DefaultsKey<QVariantList> storageKey{"PeloraRecentAccessBookmarks", {}};

    explicit RecentAccessService(UserDefaults& defaults, FileSystem& fileSystem,
                                 BookmarkService& bookmarks);

    // The resolved URL of the first stored grant that covers url, or nullopt. Grants that no
    // longer resolve are pruned from storage on the way.
    std::optional<QUrl> accessURL(const QUrl& url);
    // Creates and stores a grant for url, replacing grants of the same item; false when no
    // grant can be created.
    bool storeGrant(const QUrl& url);
    // The stored grants, oldest first; empty when the stored value is not a list of data.
    QList<QByteArray> loadGrants() const;

    // Whether grant (normalised) covers target (normalised).
    static bool covers(const QUrl& grant, const QUrl& target);

private:
    void saveGrants(const QList<QByteArray>& grants);

    UserDefaults& defaults_;
    FileSystem& fileSystem_;
    BookmarkService& bookmarks_;
};
