#include "favorites/FavoritesService.h"

#include "common/Dates.h"
#include "common/FileURL.h"
#include "platform/BookmarkService.h"
#include "platform/FileSystem.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QDataStream>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The time list sits under the bookmark list's key with this suffix.
constexpr QLatin1StringView kAddedAtSuffix("AddedAt");

// A stored list that cannot be read is kept under its key with this suffix (and a number from
// 2 on when that key is taken by another such value).
constexpr QLatin1StringView kUnreadableSuffix("Unreadable");

// Filled-in times for entries whose file gave no date sort after every real date but keep
// their index order.
constexpr double kNoDateTimeBase = 1'000'000;

// A scoped reference where it can be had, else a plain one.
std::optional<QByteArray> makeBookmark(BookmarkService& bookmarks, const QUrl& url) {
    if (auto scoped = bookmarks.createBookmark(url, true))
        return scoped;
    return bookmarks.createBookmark(url, false);
}

// Byte-wise, so that a list holding a NaN still equals its own copy.
bool sameStoredValue(const QVariant& a, const QVariant& b) {
    auto bytes = [](const QVariant& v) {
        QByteArray out;
        QDataStream stream(&out, QIODevice::WriteOnly);
        stream << v;
        return out;
    };
    return bytes(a) == bytes(b);
}

// Stored times are outside input: a NaN would break the sort's ordering, so it sorts oldest.
double sortKey(double seconds) {
    return std::isnan(seconds) ? -std::numeric_limits<double>::infinity() : seconds;
}
} // namespace

FavoritesService::FavoritesService(UserDefaults& defaults, FileSystem& fileSystem,
                                   BookmarkService& bookmarks, Workspace& workspace,
                                   FavoritesCategory category)
    : defaults_(defaults), fileSystem_(fileSystem), bookmarks_(bookmarks), workspace_(workspace),
      category_(category), storageKey_(rawValue(category_)) {
    load();
}

FavoritesService::~FavoritesService() = default;

QString FavoritesService::addedAtKey() const {
    return storageKey_ + kAddedAtSuffix;
}

std::optional<QUrl> FavoritesService::resolve(const QByteArray& bookmark, bool* isStale) const {
    bool stale = false;
    auto url = bookmarks_.resolveBookmarkAndStaleness(bookmark, true, stale);
    if (!url)
        url = bookmarks_.resolveBookmarkAndStaleness(bookmark, false, stale);
    if (isStale)
        *isStale = url && stale;
    return url;
}

QList<QByteArray> FavoritesService::readBookmarks() const {
    const auto list = defaults_.arrayForKey(storageKey_);
    if (!list)
        return {};
    QList<QByteArray> bookmarks;
    bookmarks.reserve(list->size());
    for (const QVariant& v : *list) {
        if (!variantIsData(v))
            return {};
        bookmarks.append(v.toByteArray());
    }
    return bookmarks;
}

QList<double> FavoritesService::readTimes() const {
    const auto list = defaults_.arrayForKey(addedAtKey());
    if (!list)
        return {};
    QList<double> times;
    times.reserve(list->size());
    for (const QVariant& v : *list) {
        if (!variantIsNumber(v))
            return {};
        times.append(v.toDouble());
    }
    return times;
}

bool FavoritesService::isUnreadable(const QString& key, bool (*isElement)(const QVariant&)) const {
    const auto value = defaults_.objectForKey(key);
    if (!value)
        return false;
    if (!variantIsArray(*value))
        return true;
    const QVariantList list = value->toList();
    return !std::all_of(list.begin(), list.end(), isElement);
}

void FavoritesService::keepAside(const QString& key) {
    const auto value = defaults_.objectForKey(key);
    if (!value)
        return;
    for (int n = 1;; ++n) {
        QString asideKey = key + kUnreadableSuffix;
        if (n > 1)
            asideKey += QString::number(n);
        const auto aside = defaults_.objectForKey(asideKey);
        if (!aside) {
            defaults_.setObject(asideKey, *value);
            return;
        }
        if (sameStoredValue(*aside, *value))
            return; // kept already
    }
}

void FavoritesService::writeBookmarks(const QList<QByteArray>& bookmarks) {
    if (isUnreadable(storageKey_, variantIsData))
        keepAside(storageKey_);
    QVariantList list;
    list.reserve(bookmarks.size());
    for (const QByteArray& b : bookmarks)
        list.append(QVariant(b));
    defaults_.setObject(storageKey_, list);
}

void FavoritesService::writeTimes(const QList<double>& times) {
    if (isUnreadable(addedAtKey(), variantIsNumber))
        keepAside(addedAtKey());
    QVariantList list;
    list.reserve(times.size());
    for (double t : times)
        list.append(QVariant(t));
    defaults_.setObject(addedAtKey(), list);
}

double FavoritesService::filledTime(qsizetype index, const std::optional<QUrl>& resolved) const {
    if (!resolved)
        return double(index);
    const double noDate = kNoDateTimeBase + double(index);
    if (!resolved->isLocalFile())
        return noDate;
    const QFileInfo info(resolved->toLocalFile());
    if (!info.exists())
        return noDate;
    QDateTime date = info.birthTime();
    if (!date.isValid())
        date = info.lastModified();
    return date.isValid() ? secondsSince1970(date) : noDate;
}

void FavoritesService::watchFolders() {
    if (!watcher_) {
        watcher_ = std::make_unique<QFileSystemWatcher>();
        QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(),
                         [this] { dropMissing(); });
    }
    QSet<QString> folders;
    for (const FavoriteItem& item : std::as_const(favorites_))
        folders.insert(QFileInfo(item.url.toLocalFile()).absolutePath());
    const QStringList watched = watcher_->directories();
    for (const QString& folder : watched)
        if (!folders.contains(folder))
            watcher_->removePath(folder);
    for (const QString& folder : std::as_const(folders))
        if (!watched.contains(folder))
            watcher_->addPath(folder);
}

void FavoritesService::dropMissing() {
    // Only the list shown: the reference stays stored, for the file may come back.
    favorites_.removeIf(
        [](const FavoriteItem& item) { return !QFileInfo::exists(item.url.toLocalFile()); });
}

void FavoritesService::load() {
    QList<QByteArray> stored = readBookmarks();
    // Each entry is resolved once per load; a rewritten entry is resolved again.
    std::vector<std::optional<QUrl>> resolved(size_t(stored.size()));

    // References made through a symbolic link or an alias are rewritten to the real item, so
    // that later comparisons see one location per favorite; so are stale ones, whose item was
    // renamed or moved, so that it is found directly next time. Others stay byte for byte.
    bool rewritten = false;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        bool stale = false;
        resolved[size_t(i)] = resolve(stored[i], &stale);
        const auto& r = resolved[size_t(i)];
        if (!r)
            continue;
        const QUrl n = resolvedFileURL(*r, fileSystem_);
        if (n == *r && !stale)
            continue;
        const bool accessingOld = bookmarks_.startAccessing(*r);
        const bool accessingNew = bookmarks_.startAccessing(n);
        const auto fresh = bookmarks_.createBookmark(n, true);
        if (accessingNew)
            bookmarks_.stopAccessing(n);
        if (accessingOld)
            bookmarks_.stopAccessing(*r);
        if (fresh) {
            stored[i] = *fresh;
            resolved[size_t(i)] = resolve(stored[i]);
            rewritten = true;
        }
    }
    if (rewritten)
        writeBookmarks(stored);

    // The time list may be missing (an earlier release) or out of step: bring it to the
    // bookmark list's length, and write it back every time.
    QList<double> times = readTimes();
    for (qsizetype i = times.size(); i < stored.size(); ++i)
        times.append(filledTime(i, resolved[size_t(i)]));
    if (times.size() > stored.size()) {
        // Times that belong to an unreadable bookmark list are kept with it, not cut away.
        if (isUnreadable(storageKey_, variantIsData))
            keepAside(addedAtKey());
        times.resize(stored.size());
    }
    writeTimes(times);

    struct Entry {
        double sortKey;
        FavoriteItem item;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(stored.size()));
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const auto& r = resolved[size_t(i)];
        if (!r || !r->isLocalFile())
            continue;
        const QString path = r->toLocalFile();
        if (!QFileInfo::exists(path))
            continue;
        FavoriteItem item;
        item.url = *r;
        item.displayName = fileSystem_.displayName(path);
        if (category_ == FavoritesCategory::applications &&
            item.displayName.toLower().endsWith(u".app"))
            item.displayName.chop(4);
        item.icon = workspace_.iconForFile(path);
        item.addedAt = dateFromSecondsSince1970(times[i]);
        entries.push_back({sortKey(times[i]), std::move(item)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.sortKey > b.sortKey; });

    QList<FavoriteItem> result;
    result.reserve(qsizetype(entries.size()));
    for (Entry& e : entries)
        result.append(std::move(e.item));
    favorites_ = std::move(result);
    watchFolders();
}

void FavoritesService::add(const QUrl& url) {
    const QUrl target = resolvedFileURL(url, fileSystem_);
    for (const FavoriteItem& item : favorites_)
        if (item.url == target)
            return;
    const auto bookmark = makeBookmark(bookmarks_, target);
    if (!bookmark)
        return;

    QList<QByteArray> stored = readBookmarks();
    stored.append(*bookmark);
    writeBookmarks(stored);
    QList<double> times = readTimes();
    times.append(secondsSince1970(QDateTime::currentDateTimeUtc()));
    writeTimes(times);
    load();
}

void FavoritesService::remove(const FavoriteItem& item) {
    const QUrl target = resolvedFileURL(item.url, fileSystem_);
    auto refersToItem = [&](const QUrl& url) {
        return url == item.url || resolvedFileURL(url, fileSystem_) == target;
    };

    QList<QByteArray> stored = readBookmarks();
    QList<double> times = readTimes();
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const auto r = resolve(stored[i]);
        if (!r || !refersToItem(*r))
            continue;
        stored.removeAt(i);
        if (i < times.size())
            times.removeAt(i);
        writeBookmarks(stored);
        writeTimes(times);
        load();
        return;
    }
    // Nothing stored refers to it any more; hide it until the next load.
    favorites_.removeIf([&](const FavoriteItem& f) { return refersToItem(f.url); });
}

void FavoriteStores::add(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        const bool accessing = bookmarks_.startAccessing(url);
        const QUrl normalised = resolvedFileURL(url, fileSystem_);
        store(classifyFavoriteURL(normalised)).add(normalised);
        if (accessing)
            bookmarks_.stopAccessing(url);
    }
}

FavoritesService& FavoriteStores::store(FavoritesCategory category) {
    const auto index =
        std::ranges::find(allFavoritesCategories, category) - allFavoritesCategories.begin();
    std::optional<FavoritesService>& slot = stores_.at(index);
    if (!slot)
        slot.emplace(defaults_, fileSystem_, bookmarks_, workspace_, category);
    return *slot;
}
