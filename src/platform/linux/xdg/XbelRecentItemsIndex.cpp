#include "platform/linux/xdg/XbelRecentItemsIndex.h"

#include "platform/MainQueue.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cstring>
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

// Milliseconds since the epoch of an ISO 8601 date, noDate for none; false for one GLib's own
// reader would refuse (such an entry is dropped, as GLib drops it).
bool parseDate(const gchar* text, qint64& msecs) {
    msecs = noDate;
    if (!text)
        return true;
    GDateTime* date = g_date_time_new_from_iso8601(text, nullptr);
    if (!date)
        return false;
    msecs = toMSecs(date);
    g_date_time_unref(date);
    return true;
}

// Reads the entries straight from the markup: GLib's bookmark reader would build a tree of
// every attribute, group and application only for us to copy four dates out of it. Entries are
// judged one by one: a missing href or a date GLib refuses drops that entry alone. Entries
// naming the same path are merged. Dates from the moment the parse began on count as unknown
// (GLib writes "now" for missing ones): a file with no dates must not look freshly used.
class MarkupCollector {
public:
    MarkupCollector(qint64 parseStart, QList<RecentlyUsedEntry>& entries,
                    QHash<QString, qsizetype>& indexOfPath)
        : parseStart_(parseStart), entries_(entries), indexOfPath_(indexOfPath) {}

    // False when the markup is not well formed; the entries before the fault are kept.
    bool parse(QByteArrayView data) {
        static const GMarkupParser parser{&MarkupCollector::startElement,
                                          &MarkupCollector::endElement, nullptr, nullptr, nullptr};
        GMarkupParseContext* context =
            g_markup_parse_context_new(&parser, GMarkupParseFlags(0), this, nullptr);
        const bool ok =
            g_markup_parse_context_parse(context, data.data(), gssize(data.size()), nullptr) &&
            g_markup_parse_context_end_parse(context, nullptr);
        g_markup_parse_context_free(context);
        return ok;
    }

private:
    static const gchar* attribute(const gchar** names, const gchar** values, const char* name) {
        for (; *names; ++names, ++values) {
            if (std::strcmp(*names, name) == 0)
                return *values;
        }
        return nullptr;
    }

    void consider(qint64 date) {
        if (date != noDate && date < parseStart_ && date > lastUsed_)
            lastUsed_ = date;
    }

    void considerText(const gchar* text) {
        qint64 date = noDate;
        if (!parseDate(text, date))
            valid_ = false;
        consider(date);
    }

    static void startElement(GMarkupParseContext*, const gchar* element, const gchar** names,
                             const gchar** values, gpointer self, GError**) {
        static_cast<MarkupCollector*>(self)->start(element, names, values);
    }

    static void endElement(GMarkupParseContext*, const gchar* element, gpointer self, GError**) {
        auto* collector = static_cast<MarkupCollector*>(self);
        if (collector->depth_ > 0 && --collector->depth_ == 0)
            collector->finish();
        Q_UNUSED(element);
    }

    void start(const gchar* element, const gchar** names, const gchar** values) {
        if (depth_ > 0) {
            ++depth_;
            if (element == applicationTag_)
                startApplication(names, values);
            return;
        }
        if (std::strcmp(element, "xbel") == 0) {
            // The application element's prefix is whatever the file declared for the
            // desktop-bookmarks namespace.
            for (const gchar **n = names, **v = values; *n; ++n, ++v) {
                if (std::strncmp(*n, "xmlns:", 6) == 0 &&
                    std::strcmp(*v, "http://www.freedesktop.org/standards/desktop-bookmarks") == 0)
                    applicationTag_ = QByteArray(*n + 6) + ":application";
            }
            return;
        }
        if (std::strcmp(element, "bookmark") != 0)
            return;
        depth_ = 1;
        lastUsed_ = noDate;
        const gchar* href = attribute(names, values, "href");
        valid_ = href != nullptr;
        href_ = href ? href : "";
        considerText(attribute(names, values, "added"));
        considerText(attribute(names, values, "modified"));
        considerText(attribute(names, values, "visited"));
    }

    void startApplication(const gchar** names, const gchar** values) {
        if (!attribute(names, values, "name") || !attribute(names, values, "exec")) {
            valid_ = false;
            return;
        }
        if (const gchar* stamp = attribute(names, values, "timestamp")) {
            // Seconds since the epoch; one no clock can reach says nothing.
            bool ok = false;
            const qint64 seconds = QByteArray(stamp).toLongLong(&ok);
            constexpr qint64 reach = qint64(1) << 40;
            if (ok && seconds > -reach && seconds < reach)
                consider(seconds * 1000);
        } else
            considerText(attribute(names, values, "modified"));
    }

    void finish() {
        if (!valid_ || lastUsed_ == noDate)
            return;
        gchar* hostname = nullptr;
        gchar* filename = g_filename_from_uri(href_.constData(), &hostname, nullptr);
        const bool local =
            filename && (!hostname || g_ascii_strcasecmp(hostname, "localhost") == 0);
        QString path = local ? QFile::decodeName(filename) : QString();
        g_free(filename);
        g_free(hostname);
        if (needsCleaning(path))
            path = QDir::cleanPath(path);
        if (path.isEmpty() || !path.startsWith(u'/'))
            return;
        auto it = indexOfPath_.constFind(path);
        if (it == indexOfPath_.constEnd()) {
            indexOfPath_.insert(path, entries_.size());
            entries_.append({path, QDateTime::fromMSecsSinceEpoch(lastUsed_, Qt::UTC)});
        } else if (entries_[*it].lastUsed.toMSecsSinceEpoch() < lastUsed_) {
            entries_[*it].lastUsed = QDateTime::fromMSecsSinceEpoch(lastUsed_, Qt::UTC);
        }
    }

    const qint64 parseStart_;
    QList<RecentlyUsedEntry>& entries_;
    QHash<QString, qsizetype>& indexOfPath_;
    QByteArray applicationTag_ = "bookmark:application";
    int depth_ = 0; // inside a bookmark element: its nesting depth
    QByteArray href_;
    qint64 lastUsed_ = noDate;
    bool valid_ = false;
};

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
            MarkupCollector(parseStart, entries, indexOfPath).parse(wrapped);
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
struct XbelRecentItemsIndex::Worker {
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
        // The file's bytes and the parser's scratch were just freed on this thread; hand the pages
        // back rather than keep them for a parse that may never come.
        malloc_trim(0);
#endif
        return entries;
    }
};

namespace {

class LinuxRecentItemsQuery : public RecentItemsQuery {
public:
    LinuxRecentItemsQuery(std::shared_ptr<XbelRecentItemsIndex::Worker> worker,
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
        XbelRecentItemsIndex::Worker* worker = worker_.get();
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

    const std::shared_ptr<XbelRecentItemsIndex::Worker> worker_;
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
    if (!MarkupCollector(parseStart, entries, indexOfPath).parse(data)) {
        // Not well formed: start again entry by entry, so the fault costs only its entry.
        entries.clear();
        indexOfPath.clear();
        salvageEntries(data, parseStart, entries, indexOfPath);
    }
    return entries;
}

XbelRecentItemsIndex::XbelRecentItemsIndex(QString bookmarkFilePath, QString homePath,
                                           qint64 maxFileSize)
    : bookmarkFilePath_(std::move(bookmarkFilePath)), homePath_(std::move(homePath)),
      maxFileSize_(maxFileSize), worker_(std::make_shared<Worker>()) {
    if (bookmarkFilePath_.isEmpty())
        bookmarkFilePath_ = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/recently-used.xbel");
    if (homePath_.isEmpty())
        homePath_ = QDir::homePath();
}

XbelRecentItemsIndex::~XbelRecentItemsIndex() = default;

int XbelRecentItemsIndex::parseCount() const {
    return worker_->parses.load();
}

void XbelRecentItemsIndex::watch() {
    if (!watcher_) {
        // Its folder too: programs replace the file by renaming another over it, which ends a
        // watch of the file itself, and the file may not exist yet.
        watcher_ = new QFileSystemWatcher(this);
        settle_ = new QTimer(this);
        settle_->setSingleShot(true);
        settle_->setInterval(changeSettleMs);
        connect(watcher_, &QFileSystemWatcher::fileChanged, this,
                &XbelRecentItemsIndex::watchedPathChanged);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
                &XbelRecentItemsIndex::watchedPathChanged);
        connect(settle_, &QTimer::timeout, this, [this] {
            watch();
            Q_EMIT changed();
        });
    }
    const QString folder = QFileInfo(bookmarkFilePath_).absolutePath();
    if (!watcher_->directories().contains(folder) && QFileInfo(folder).isDir())
        watcher_->addPath(folder);
    if (!watcher_->files().contains(bookmarkFilePath_) && QFileInfo::exists(bookmarkFilePath_))
        watcher_->addPath(bookmarkFilePath_);
}

void XbelRecentItemsIndex::watchedPathChanged() {
    settle_->start();
}

std::unique_ptr<RecentItemsQuery>
XbelRecentItemsIndex::makeQuery(const RecentItemsPredicate& predicate) {
    watch();
    return std::make_unique<LinuxRecentItemsQuery>(worker_, bookmarkFilePath_, homePath_,
                                                   maxFileSize_, predicate);
}

QList<RecentItemsResult> XbelRecentItemsIndex::gather(const QString& bookmarkFilePath,
                                                      const QString& homePath, qint64 maxFileSize,
                                                      const RecentItemsPredicate& predicate) {
    return select(
        entriesBelow(parseRecentlyUsedFile(readRecentlyUsedFile(bookmarkFilePath, maxFileSize)),
                     homePath),
        predicate);
}
