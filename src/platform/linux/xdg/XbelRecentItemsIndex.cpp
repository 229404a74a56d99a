#include "platform/linux/xdg/XbelRecentItemsIndex.h"

#include "platform/MainQueue.h"
#include "platform/linux/files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThreadPool>

#include <algorithm>
#include <atomic>

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    // A FIFO put in its place must not stall the reader; a damaged end is salvaged entry by
    // entry, so a file over the cap gives what comes before it.
    SafeFile::ReadResult read = SafeFile::read(path, {.maxSize = maxSize, .cutAtMaxSize = true});
    if (identity)
        *identity = read.found ? identityOf(*read.found) : RecentlyUsedFileIdentity();
    return std::move(read.data);
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
