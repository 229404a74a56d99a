#include "platform/linux/LinuxRecentItemsIndex.h"

#include "common/MainQueue.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <limits>

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <glib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 noDate = std::numeric_limits<qint64>::min();

// Milliseconds since the epoch, or noDate.
qint64 toMSecs(GDateTime* date) {
    if (!date)
        return noDate;
    return g_date_time_to_unix(date) * 1000 + g_date_time_get_microsecond(date) / 1000;
}

bool needsCleaning(const QString& path) {
    return path.contains(QLatin1String("//")) || path.contains(QLatin1String("/./")) ||
           path.contains(QLatin1String("/../")) || path.endsWith(u'/') ||
           path.endsWith(QLatin1String("/.")) || path.endsWith(QLatin1String("/.."));
}

// Adds the entries of a parsed bookmark file, merging entries that name the same path.
// GLib fills in "now" for every date attribute that is missing, so dates from the moment the
// parse began on count as unknown: a file with no dates must not look freshly used.
void collectEntries(GBookmarkFile* file, qint64 parseStart, QList<RecentlyUsedEntry>& entries,
                    QHash<QString, qsizetype>& indexOfPath) {
    gsize count = 0;
    gchar** uris = g_bookmark_file_get_uris(file, &count);
    entries.reserve(entries.size() + qsizetype(count));
    indexOfPath.reserve(indexOfPath.size() + qsizetype(count));
    for (gsize i = 0; i < count; ++i) {
        const gchar* uri = uris[i];
        gchar* hostname = nullptr;
        gchar* filename = g_filename_from_uri(uri, &hostname, nullptr);
        const bool local =
            filename && (!hostname || g_ascii_strcasecmp(hostname, "localhost") == 0);
        QString path = local ? QFile::decodeName(filename) : QString();
        if (needsCleaning(path))
            path = QDir::cleanPath(path);
        g_free(filename);
        g_free(hostname);
        if (path.isEmpty() || !path.startsWith(u'/'))
            continue;

        qint64 lastUsed = noDate;
        auto consider = [&](GDateTime* date) {
            const qint64 d = toMSecs(date);
            if (d != noDate && d < parseStart && d > lastUsed)
                lastUsed = d;
        };
        consider(g_bookmark_file_get_added_date_time(file, uri, nullptr));
        consider(g_bookmark_file_get_modified_date_time(file, uri, nullptr));
        consider(g_bookmark_file_get_visited_date_time(file, uri, nullptr));
        gsize appCount = 0;
        if (gchar** apps = g_bookmark_file_get_applications(file, uri, &appCount, nullptr)) {
            for (gsize a = 0; a < appCount; ++a) {
                GDateTime* stamp = nullptr;
                // No exec out-argument: GLib would expand it and may reject odd exec lines.
                if (g_bookmark_file_get_application_info(file, uri, apps[a], nullptr, nullptr,
                                                         &stamp, nullptr))
                    consider(stamp);
            }
            g_strfreev(apps);
        }
        if (lastUsed == noDate)
            continue;

        auto it = indexOfPath.constFind(path);
        if (it == indexOfPath.constEnd()) {
            indexOfPath.insert(path, entries.size());
            entries.append({path, QDateTime::fromMSecsSinceEpoch(lastUsed, Qt::UTC)});
        } else if (entries[*it].lastUsed.toMSecsSinceEpoch() < lastUsed) {
            entries[*it].lastUsed = QDateTime::fromMSecsSinceEpoch(lastUsed, Qt::UTC);
        }
    }
    g_strfreev(uris);
}

bool loadInto(GBookmarkFile* file, QByteArrayView data) {
    return g_bookmark_file_load_from_data(file, data.data(), gsize(data.size()), nullptr);
}

bool isTagBoundary(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '/' || c == '>';
}

// The next "<bookmark" start tag at or after from (not "<bookmark:application"), or -1.
qsizetype nextBookmarkStart(QByteArrayView data, qsizetype from) {
    static constexpr QByteArrayView tag("<bookmark");
    while (from < data.size()) {
        const qsizetype at = data.indexOf(tag, from);
        if (at < 0 || at + tag.size() >= data.size())
            return -1;
        if (isTagBoundary(data[at + tag.size()]))
            return at;
        from = at + tag.size();
    }
    return -1;
}

// The start tag of the root element, reused around salvaged entries so that its namespace
// declarations still apply.
QByteArray rootStartTag(QByteArrayView data, qsizetype firstBookmark) {
    static constexpr QByteArrayView fallback(
        "<xbel version=\"1.0\" "
        "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
        "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">");
    const QByteArrayView head = data.first(firstBookmark);
    const qsizetype start = head.indexOf(QByteArrayView("<xbel"));
    if (start >= 0) {
        const qsizetype end = head.indexOf('>', start);
        if (end > start && head[end - 1] != '/')
            return head.sliced(start, end - start + 1).toByteArray();
    }
    return fallback.toByteArray();
}

// Parses every <bookmark> element on its own, so that one broken entry (a bad date, a
// missing attribute, a cut-off end) costs only itself. Each step only moves forward, so a
// hostile file costs time in proportion to its size.
void salvageEntries(QByteArrayView data, qint64 parseStart, QList<RecentlyUsedEntry>& entries,
                    QHash<QString, qsizetype>& indexOfPath) {
    static constexpr QByteArrayView endTag("</bookmark>");
    qsizetype pos = nextBookmarkStart(data, 0);
    if (pos < 0)
        return;
    const QByteArray prefix =
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + rootStartTag(data, pos);
    static constexpr QByteArrayView suffix("</xbel>");
    QByteArray wrapped;
    while (pos >= 0) {
        const qsizetype start = pos;
        // End of the start tag: the first '>' outside quoted attribute values.
        qsizetype i = start + 1;
        char quote = 0;
        for (; i < data.size(); ++i) {
            const char c = data[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        if (i >= data.size())
            return;
        const qsizetype next = nextBookmarkStart(data, i + 1);
        qsizetype end = -1;
        if (data[i - 1] == '/') {
            end = i + 1;
        } else {
            const qsizetype limit = next < 0 ? data.size() : next;
            const qsizetype close = data.sliced(i + 1, limit - i - 1).indexOf(endTag);
            if (close >= 0)
                end = i + 1 + close + endTag.size();
        }
        if (end > 0) {
            wrapped = prefix;
            wrapped += data.sliced(start, end - start);
            wrapped += suffix;
            GBookmarkFile* file = g_bookmark_file_new();
            if (loadInto(file, wrapped))
                collectEntries(file, parseStart, entries, indexOfPath);
            g_bookmark_file_free(file);
        }
        pos = next;
    }
}

bool isApplication(const QFileInfo& info) {
    const QString suffix = info.suffix();
    return suffix.compare(u"desktop", Qt::CaseInsensitive) == 0 ||
           suffix.compare(u"app", Qt::CaseInsensitive) == 0 ||
           suffix.compare(u"appimage", Qt::CaseInsensitive) == 0;
}

// A program rather than a document: executable and without a file-name extension (scripts
// such as "build.sh" stay documents).
bool isExecutableProgram(const QFileInfo& info) {
    return info.isFile() && info.isExecutable() && info.suffix().isEmpty();
}

bool matchesKind(const QString& path, RecentItemKind kind) {
    const QFileInfo info(path);
    if (kind == RecentItemKind::folder)
        return info.isDir();
    return info.exists() && !info.isDir() && !isApplication(info) && !isExecutableProgram(info);
}

RecentlyUsedFileIdentity identityOf(const struct stat& st) {
    RecentlyUsedFileIdentity identity;
    identity.exists = true;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modified = st.st_mtim;
    return identity;
}

RecentlyUsedFileIdentity currentIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return identityOf(st);
}

// The entries under home, newest first (file order among equal dates).
QList<RecentlyUsedEntry> entriesBelow(QList<RecentlyUsedEntry> entries, const QString& homePath) {
    const QString home = QDir::cleanPath(homePath);
    const QString below = home.endsWith(u'/') ? home : home + u'/';
    entries.removeIf([&](const RecentlyUsedEntry& entry) {
        return !entry.path.startsWith(below) || entry.path.size() == below.size();
    });
    std::stable_sort(entries.begin(), entries.end(),
                     [](const RecentlyUsedEntry& a, const RecentlyUsedEntry& b) {
                         return a.lastUsed > b.lastUsed;
                     });
    entries.squeeze();
    return entries;
}

// What a query asks of entries already below home and newest first: the date cut, the kind
// (which looks at the file system), the result limit.
QList<RecentItemsResult> select(const QList<RecentlyUsedEntry>& newestFirst,
                                const RecentItemsPredicate& predicate,
                                const std::function<bool()>& shouldStop = {}) {
    QList<RecentItemsResult> results;
    for (const RecentlyUsedEntry& entry : newestFirst) {
        if (predicate.usedSince.isValid() && entry.lastUsed < predicate.usedSince)
            break;
        if (shouldStop && shouldStop())
            return {};
        if (!matchesKind(entry.path, predicate.kind))
            continue;
        results.append({entry.path, entry.lastUsed});
        if (predicate.resultLimit > 0 && results.size() >= predicate.resultLimit)
            break;
    }
    return results;
}

} // namespace

// The index's own worker and the last parse, which only that worker touches.
struct LinuxRecentItemsIndex::Worker {
    QThreadPool pool;
    RecentlyUsedFileIdentity identity;
    bool parsed = false;
    QList<RecentlyUsedEntry> entries; // below home, newest first
    std::atomic<int> parses{0};

    Worker() {
        // Serial: a second query waits for the parse in flight and then reuses it.
        pool.setMaxThreadCount(1);
        pool.setObjectName(QStringLiteral("recently-used"));
    }
    ~Worker() {
        pool.clear();
        pool.waitForDone();
    }

    // On the worker. Reads the file again only when it is not the version parsed last.
    const QList<RecentlyUsedEntry>& currentEntries(const QString& path, const QString& home,
                                                   qint64 maxSize) {
        if (parsed && currentIdentity(path) == identity)
            return entries;
        RecentlyUsedFileIdentity read;
        QList<RecentlyUsedEntry> all =
            parseRecentlyUsedFile(readRecentlyUsedFile(path, maxSize, &read));
        entries = entriesBelow(std::move(all), home);
        identity = read;
        parsed = true;
        ++parses;
#ifdef __GLIBC__
        // GLib's copy of a large file was just freed on this thread; hand those pages back
        // rather than keep them for a parse that may never come.
        malloc_trim(0);
#endif
        return entries;
    }
};

namespace {

class LinuxRecentItemsQuery : public RecentItemsQuery {
public:
    LinuxRecentItemsQuery(std::shared_ptr<LinuxRecentItemsIndex::Worker> worker,
                          QString bookmarkFilePath, QString homePath, qint64 maxFileSize,
                          RecentItemsPredicate predicate)
        : worker_(std::move(worker)), bookmarkFilePath_(std::move(bookmarkFilePath)),
          homePath_(std::move(homePath)), maxFileSize_(maxFileSize),
          predicate_(std::move(predicate)), state_(std::make_shared<State>()) {
        state_->query = this;
    }

    ~LinuxRecentItemsQuery() override {
        ++state_->generation;
        state_->query = nullptr;
    }

    void start(FinishedGathering onFinished) override {
        const quint64 generation = ++state_->generation;
        onFinished_ = std::move(onFinished);
        gathering_ = true;
        std::weak_ptr<State> weak = state_;
        // The worker outlives its tasks: its destruction waits for them.
        LinuxRecentItemsIndex::Worker* worker = worker_.get();
        worker->pool.start([worker, weak, generation, path = bookmarkFilePath_, home = homePath_,
                            maxSize = maxFileSize_, predicate = predicate_] {
            auto superseded = [weak, generation] {
                auto state = weak.lock();
                return !state || state->generation.load() != generation;
            };
            if (superseded())
                return;
            // Below the main thread and the display server: reading a large file must not slow
            // the strip or an answer down. (Linux gives each thread its own nice value.)
            static thread_local const bool lowered =
                ::setpriority(PRIO_PROCESS, ::gettid(), 10) == 0;
            Q_UNUSED(lowered);
            QList<RecentItemsResult> results =
                select(worker->currentEntries(path, home, maxSize), predicate, superseded);
            if (superseded())
                return;
            runLaterOnMain([weak, generation, results = std::move(results)] {
                auto state = weak.lock();
                if (!state || state->generation.load() != generation || !state->query)
                    return;
                state->query->finish(results);
            });
        });
    }

    void stop() override {
        ++state_->generation;
        gathering_ = false;
        onFinished_ = nullptr;
    }

    bool isGathering() const override { return gathering_; }

private:
    struct State {
        std::atomic<quint64> generation{0};
        LinuxRecentItemsQuery* query = nullptr; // main thread only
    };

    void finish(const QList<RecentItemsResult>& results) {
        gathering_ = false;
        // The callback may destroy this query.
        FinishedGathering onFinished = std::move(onFinished_);
        onFinished_ = nullptr;
        if (onFinished)
            onFinished(results);
    }

    const std::shared_ptr<LinuxRecentItemsIndex::Worker> worker_;
    const QString bookmarkFilePath_;
    const QString homePath_;
    const qint64 maxFileSize_;
    const RecentItemsPredicate predicate_;
    std::shared_ptr<State> state_;
    FinishedGathering onFinished_;
    bool gathering_ = false;
};

} // namespace

QByteArray readRecentlyUsedFile(const QString& path, qint64 maxSize,
                                RecentlyUsedFileIdentity* identity) {
    if (identity)
        *identity = {};
    const QByteArray local = QFile::encodeName(path);
    // Non-blocking open, then only a regular file is read: a FIFO put in its place must not
    // stall the reader.
    const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray data;
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (known && identity)
        *identity = identityOf(st);
    if (known && S_ISREG(st.st_mode) && maxSize > 0) {
        const qint64 want = std::min<qint64>(maxSize, st.st_size > 0 ? st.st_size : maxSize);
        data.resize(qsizetype(want));
        qint64 total = 0;
        while (total < want) {
            const ssize_t n = ::read(fd, data.data() + total, size_t(want - total));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            total += n;
        }
        data.truncate(qsizetype(total));
    }
    ::close(fd);
    return data;
}

QList<RecentlyUsedEntry> parseRecentlyUsedFile(const QByteArray& data) {
    QList<RecentlyUsedEntry> entries;
    if (data.isEmpty())
        return entries;
    QHash<QString, qsizetype> indexOfPath;
    const qint64 parseStart = QDateTime::currentMSecsSinceEpoch();
    GBookmarkFile* file = g_bookmark_file_new();
    const bool whole = loadInto(file, data);
    if (whole)
        collectEntries(file, parseStart, entries, indexOfPath);
    g_bookmark_file_free(file);
    if (!whole)
        salvageEntries(data, parseStart, entries, indexOfPath);
    return entries;
}

LinuxRecentItemsIndex::LinuxRecentItemsIndex(QString bookmarkFilePath, QString homePath,
                                             qint64 maxFileSize)
    : bookmarkFilePath_(std::move(bookmarkFilePath)), homePath_(std::move(homePath)),
      maxFileSize_(maxFileSize), worker_(std::make_shared<Worker>()) {
    if (bookmarkFilePath_.isEmpty())
        bookmarkFilePath_ = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/recently-used.xbel");
    if (homePath_.isEmpty())
        homePath_ = QDir::homePath();
}

LinuxRecentItemsIndex::~LinuxRecentItemsIndex() = default;

int LinuxRecentItemsIndex::parseCount() const {
    return worker_->parses.load();
}

std::unique_ptr<RecentItemsQuery>
LinuxRecentItemsIndex::makeQuery(const RecentItemsPredicate& predicate) {
    return std::make_unique<LinuxRecentItemsQuery>(worker_, bookmarkFilePath_, homePath_,
                                                   maxFileSize_, predicate);
}

QList<RecentItemsResult> LinuxRecentItemsIndex::gather(const QString& bookmarkFilePath,
                                                       const QString& homePath, qint64 maxFileSize,
                                                       const RecentItemsPredicate& predicate) {
    return select(
        entriesBelow(parseRecentlyUsedFile(readRecentlyUsedFile(bookmarkFilePath, maxFileSize)),
                     homePath),
        predicate);
}
