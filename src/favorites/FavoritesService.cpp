#include "favorites/FavoritesService.h"

#include "common/Dates.h"
#include "common/FileURL.h"
#include "platform/BookmarkService.h"
#include "platform/FileSystem.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QDataStream>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

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

// A job of the checker: whether its check has started, so that one still running at the
// deadline is known to hold a thread, and whether a change came while it ran.
struct FavoritesService::Job {
    std::atomic<bool> started = false;
    bool again = false;
};

namespace {
// Threads for checks that answer; each check past its deadline gets one more.
constexpr int kCheckThreads = 2;
} // namespace

FavoritesService::FavoritesService(UserDefaults& defaults, FileSystem& fileSystem,
                                   BookmarkService& bookmarks, Workspace& workspace,
                                   FavoritesCategory category, std::function<void()> changed)
    : defaults_(defaults), fileSystem_(fileSystem), bookmarks_(bookmarks), workspace_(workspace),
      category_(category), storageKey_(rawValue(category_)),
      checker_(std::make_unique<QThreadPool>()), deadline_(std::make_unique<QTimer>()),
      context_(std::make_unique<QObject>()) {
    checker_->setMaxThreadCount(kCheckThreads);
    checker_->setObjectName(QStringLiteral("FavoritesCheck"));
    deadline_->setSingleShot(true);
    deadline_->setInterval(checkDeadlineMs);
    QObject::connect(deadline_.get(), &QTimer::timeout, context_.get(),
                     [this] { deadlinePassed(); });
    load();
    // Told of changes after the first list, which whoever asked for the store reads anyway.
    changed_ = std::move(changed);
}

FavoritesService::~FavoritesService() {
    checker_->clear();
    // A check on a file system that stopped answering never ends: it is left to the end of
    // the process rather than waited for.
    if (!checker_->waitForDone(checkDeadlineMs))
        (void)checker_.release();
}

QString FavoritesService::addedAtKey() const {
    return storageKey_ + kAddedAtSuffix;
}

FavoriteCheck FavoritesService::check(const QByteArray& bookmark, BookmarkService& bookmarks,
                                      FileSystem& fileSystem, Workspace& workspace) {
    FavoriteCheck result;
    bool stale = false;
    auto url = bookmarks.resolveBookmarkAndStaleness(bookmark, true, stale);
    if (!url)
        url = bookmarks.resolveBookmarkAndStaleness(bookmark, false, stale);
    if (!url)
        return result;
    // References made through a symbolic link or an alias are rewritten to the real item, so
    // that later comparisons see one location per favorite; so are stale ones, whose item was
    // renamed or moved, so that it is found directly next time. Others stay byte for byte.
    const QUrl normalised = resolvedFileURL(*url, fileSystem);
    if (normalised != *url || stale)
        result.rewritten = bookmarks.createBookmark(normalised, true);
    result.url = normalised;
    if (!normalised.isLocalFile())
        return result;
    const QString path = normalised.toLocalFile();
    const QFileInfo info(path);
    result.exists = info.exists();
    if (!result.exists)
        return result;
    result.displayName = fileSystem.displayName(path);
    result.iconName = workspace.iconNameForFile(path);
    QDateTime date = info.birthTime();
    if (!date.isValid())
        date = info.lastModified();
    if (date.isValid())
        result.fileTime = secondsSince1970(date);
    return result;
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

void FavoritesService::load() {
    startChecks(readBookmarks());
    rebuild();
}

void FavoritesService::refresh() {
    startChecks(readBookmarks());
}

void FavoritesService::startChecks(const QList<QByteArray>& bookmarks) {
    const QPointer<QObject> context(context_.get());
    for (const QByteArray& bookmark : bookmarks) {
        if (const auto running = inFlight_.constFind(bookmark); running != inFlight_.cend()) {
            // One check at a time (one that hangs holds a thread, never two); it may have read
            // the file before this change, so it is done again when it ends.
            (*running)->again = true;
            continue;
        }
        auto job = std::make_shared<Job>();
        inFlight_.insert(bookmark, job);
        checker_->start([this, job, bookmark, context, references = &bookmarks_,
                         fileSystem = &fileSystem_, workspace = &workspace_] {
            job->started = true;
            FavoriteCheck result = check(bookmark, *references, *fileSystem, *workspace);
            runLaterOnMain([this, context, bookmark, result = std::move(result)]() mutable {
                if (context) // else the store is gone
                    checkArrived(bookmark, std::move(result));
            });
        });
    }
    if (!inFlight_.isEmpty() && !deadline_->isActive())
        deadline_->start();
}

void FavoritesService::checkArrived(const QByteArray& bookmark, FavoriteCheck result) {
    if (const auto job = inFlight_.take(bookmark); job && job->again)
        startChecks({bookmark});
    if (result.rewritten) {
        QList<QByteArray> stored = readBookmarks();
        const qsizetype index = stored.indexOf(bookmark);
        if (index >= 0) {
            stored[index] = *result.rewritten;
            writeBookmarks(stored);
            const QByteArray fresh = *std::exchange(result.rewritten, std::nullopt);
            checks_.insert(fresh, result);
        }
    }
    checks_.insert(bookmark, std::move(result));
    // A check that ends after the deadline shows at once; the others together.
    if (inFlight_.isEmpty() || !deadline_->isActive()) {
        deadline_->stop();
        rebuild();
    }
}

void FavoritesService::deadlinePassed() {
    // Checks still running hold their threads, perhaps for good: the others get threads of
    // their own.
    int stuck = 0;
    for (const auto& job : std::as_const(inFlight_))
        stuck += job->started ? 1 : 0;
    checker_->setMaxThreadCount(kCheckThreads + stuck);
    rebuild();
}

void FavoritesService::fillTimes(const QList<QByteArray>& stored) {
    for (const QByteArray& bookmark : stored)
        if (!checks_.contains(bookmark))
            return; // written once every entry is known
    // The time list may be missing (an earlier release) or out of step: bring it to the
    // bookmark list's length. Entries whose file gave no date
    // sort after every real date but keep their index order; unresolvable ones, their index.
    QList<double> times = readTimes();
    for (qsizetype i = times.size(); i < stored.size(); ++i) {
        const FavoriteCheck& c = checks_[stored[i]];
        times.append(!c.url ? double(i) : c.fileTime.value_or(kNoDateTimeBase + double(i)));
    }
    if (times.size() > stored.size()) {
        // Times that belong to an unreadable bookmark list are kept with it, not cut away.
        if (isUnreadable(storageKey_, variantIsData))
            keepAside(addedAtKey());
        times.resize(stored.size());
    }
    // Written when it changed or was unreadable, not at every check.
    if (times != readTimes() || isUnreadable(addedAtKey(), variantIsNumber))
        writeTimes(times);
}

std::optional<FavoriteItem> FavoritesService::storedItem(const QByteArray& bookmark) const {
    const auto url = bookmarks_.recordedURL(bookmark);
    if (!url || !url->isLocalFile())
        return std::nullopt;
    FavoriteItem item;
    item.url = *url;
    item.displayName = url->fileName();
    // By its kind and name alone: its file is not to be touched.
    const QString suffix = QFileInfo(item.displayName).suffix();
    item.icon = workspace_.iconForFileType(category_ == FavoritesCategory::folders ? u"folder"_s
                                           : category_ == FavoritesCategory::applications ? u"app"_s
                                                                                          : suffix);
    return item;
}

void FavoritesService::rebuild() {
    const QList<QByteArray> stored = readBookmarks();
    fillTimes(stored);
    const QList<double> times = readTimes();

    struct Entry {
        double sortKey;
        FavoriteItem item;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(stored.size()));
    for (qsizetype i = 0; i < stored.size(); ++i) {
        std::optional<FavoriteItem> item;
        if (const auto c = checks_.constFind(stored[i]); c != checks_.cend()) {
            if (!c->exists)
                continue;
            item.emplace();
            item->url = *c->url;
            item->displayName = c->displayName;
            item->icon = workspace_.iconForName(c->iconName);
        } else if (item = storedItem(stored[i]); !item) {
            continue;
        }
        if (category_ == FavoritesCategory::applications &&
            item->displayName.toLower().endsWith(u".app"))
            item->displayName.chop(4);
        const double time = i < times.size() ? times[i] : double(i);
        item->addedAt = dateFromSecondsSince1970(time);
        entries.push_back({sortKey(time), std::move(*item)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.sortKey > b.sortKey; });

    QList<FavoriteItem> result;
    result.reserve(qsizetype(entries.size()));
    for (Entry& e : entries)
        result.append(std::move(e.item));
    const auto shown = [](const FavoriteItem& a, const FavoriteItem& b) {
        return a.url == b.url && a.displayName == b.displayName && a.addedAt == b.addedAt;
    };
    const bool same =
        std::equal(result.begin(), result.end(), favorites_.begin(), favorites_.end(), shown);
    favorites_ = std::move(result);
    watchFolders(stored);
    if (!same && changed_)
        changed_();
}

void FavoritesService::watchFolders(const QList<QByteArray>& stored) {
    if (!watcher_) {
        watcher_ = std::make_unique<QFileSystemWatcher>();
        QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, context_.get(),
                         [this] { refresh(); });
    }
    // Only folders a check has just reached: watching one asks its file system.
    QHash<QString, QList<QByteArray>> folders;
    for (const QByteArray& bookmark : stored)
        if (const auto c = checks_.constFind(bookmark); c != checks_.cend() && c->exists)
            folders[QFileInfo(c->url->toLocalFile()).absolutePath()].append(bookmark);
    const QStringList watched = watcher_->directories();
    for (const QString& folder : watched)
        if (!folders.contains(folder))
            watcher_->removePath(folder);
    // A change between the check and the watch was not seen: those favorites are looked at
    // once more.
    QList<QByteArray> unseen;
    for (auto it = folders.cbegin(); it != folders.cend(); ++it)
        if (!watched.contains(it.key()) && watcher_->addPath(it.key()))
            unseen += it.value();
    if (!unseen.isEmpty())
        startChecks(unseen);
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
    QList<QByteArray> stored = readBookmarks();
    // Where each entry was last found; an unchecked one, where it was stored.
    auto foundAt = [&](const QByteArray& bookmark) -> std::optional<QUrl> {
        if (const auto c = checks_.constFind(bookmark); c != checks_.cend())
            return c->url;
        return bookmarks_.recordedURL(bookmark);
    };
    auto indexOf = [&](const QUrl& url) -> qsizetype {
        for (qsizetype i = 0; i < stored.size(); ++i)
            if (foundAt(stored[i]) == url)
                return i;
        return -1;
    };
    qsizetype index = indexOf(item.url);
    // Named through a link: the entry of its real item. Asked only then, for the file system
    // of an item on a dead share would not answer.
    if (index < 0)
        index = indexOf(resolvedFileURL(item.url, fileSystem_));
    if (index < 0) {
        // Nothing stored refers to it any more; hide it until the next load.
        favorites_.removeIf([&](const FavoriteItem& f) { return f.url == item.url; });
        if (changed_)
            changed_();
        return;
    }
    QList<double> times = readTimes();
    stored.removeAt(index);
    if (index < times.size())
        times.removeAt(index);
    writeBookmarks(stored);
    writeTimes(times);
    load();
}

FavoriteStores::FavoriteStores(UserDefaults& defaults, FileSystem& fileSystem,
                               BookmarkService& bookmarks, Workspace& workspace)
    : defaults_(defaults), fileSystem_(fileSystem), bookmarks_(bookmarks), workspace_(workspace) {}

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
    std::unique_ptr<FavoritesService>& slot = stores_.at(size_t(index));
    if (!slot)
        slot = std::make_unique<FavoritesService>(defaults_, fileSystem_, bookmarks_, workspace_,
                                                  category, [this] { Q_EMIT changed(); });
    return *slot;
}
