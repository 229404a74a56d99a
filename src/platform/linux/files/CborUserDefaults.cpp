#include "platform/linux/files/CborUserDefaults.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr auto kPrivateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
// Own writes are gathered for a moment, so that a burst (the strip being dragged) is one write.
constexpr int kFlushDelayMs = 100;
// Another process's write shows up as several folder events (temporary file, rename):
// they are taken together.
constexpr int kReloadDelayMs = 50;

// remaining: how many more containers may open inside this value. ok turns false when a value
// nests deeper than that.
QCborValue encodeValue(const QVariant& value, int remaining, bool& ok) {
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QCborValue(date.toUTC()) : QCborValue();
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        if (remaining <= 0) {
            ok = false;
            return {};
        }
        QCborArray array;
        for (const QVariant& item : value.toList())
            array.append(encodeValue(item, remaining - 1, ok));
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        if (remaining <= 0) {
            ok = false;
            return {};
        }
        QCborMap map;
        const QVariantMap values = value.toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            map.insert(it.key(), encodeValue(it.value(), remaining - 1, ok));
        return map;
    }
    default:
        return QCborValue::fromVariant(value);
    }
}

QVariant decodeValue(const QCborValue& value, int remaining, bool& ok) {
    if ((value.isArray() || value.isMap()) && remaining <= 0) {
        ok = false;
        return {};
    }
    if (value.isArray()) {
        QVariantList list;
        const QCborArray array = value.toArray();
        list.reserve(array.size());
        for (const QCborValue& item : array)
            list.append(decodeValue(item, remaining - 1, ok));
        return list;
    }
    if (value.isMap()) {
        QVariantMap map;
        const QCborMap cbor = value.toMap();
        for (auto it = cbor.cbegin(); it != cbor.cend(); ++it) {
            const QString key =
                it.key().isString() ? it.key().toString() : it.key().toDiagnosticNotation();
            map.insert(key, decodeValue(it.value(), remaining - 1, ok));
        }
        return map;
    }
    if (value.isDateTime()) {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QVariant(date.toUTC()) : QVariant();
    }
    if (value.isUndefined() || value.isInvalid())
        return {};
    return value.toVariant();
}

QString asideName(const QString& path, const char* reason) {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmsszzz'Z'");
    const QString base = path + u'.' + QLatin1String(reason) + u'-' + stamp;
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + u'-' + QString::number(n);
    return name;
}

// Moves what is at path aside under a name of its own: the link itself, never its target. Only
// when path still names what was looked at, should a writer that went ahead without the lock
// have replaced it meanwhile.
bool setAside(const QString& path, const struct stat& seen, const char* reason) {
    const QByteArray name = QFile::encodeName(path);
    struct stat now {};
    if (::lstat(name.constData(), &now) != 0 || now.st_dev != seen.st_dev ||
        now.st_ino != seen.st_ino)
        return false;
    return ::rename(name.constData(), QFile::encodeName(asideName(path, reason)).constData()) == 0;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads to the end, or up to one byte past the cap; nothing on a read error.
std::optional<QByteArray> readAtMost(int fd, qint64 size, qint64 cap) {
    QByteArray bytes;
    bytes.reserve(qsizetype(qMin(size, cap) + 1));
    char buffer[64 * 1024];
    while (bytes.size() <= cap) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(buffer, qsizetype(n));
    }
    return bytes;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// Equal in type as well as value, all the way down, so that a change of type is a change.
bool identical(const QVariant& a, const QVariant& b) {
    // One shared value: a copy of what was read or set.
    if (a.constData() == b.constData())
        return true;
    if (a.metaType() != b.metaType())
        return false;
    switch (a.metaType().id()) {
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!identical(x[i], y[i]))
                return false;
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.cbegin(); it != x.cend(); ++it)
            if (!identical(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    default:
        return a == b;
    }
}

} // namespace

CborUserDefaults::CborUserDefaults() : CborUserDefaults(defaultFilePath()) {}

CborUserDefaults::CborUserDefaults(const QString& filePath)
    : filePath_(QFileInfo(filePath).absoluteFilePath()) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushDelayMs);
    connect(&flushTimer_, &QTimer::timeout, this, &CborUserDefaults::syncWithDisk);
    reloadTimer_.setSingleShot(true);
    reloadTimer_.setInterval(kReloadDelayMs);
    connect(&reloadTimer_, &QTimer::timeout, this, &CborUserDefaults::syncWithDisk);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!reloadTimer_.isActive())
            reloadTimer_.start();
    });

    syncWithDisk();
}

CborUserDefaults::~CborUserDefaults() {
    if (!pending_.isEmpty()) {
        QVariantMap merged;
        exchange(merged);
    }
    if (folder_ >= 0)
        ::close(folder_);
}

// Between reading the file and renaming the new one into place no other Pelora process may
// write, or its change would be lost: every sync of every Pelora process holds this lock. It
// locks the folder itself, so no file comes and goes to wake the folder watch. Should the lock
// stay out of reach (a stopped process, a file system without locks), the sync goes ahead
// without it.
CborUserDefaults::FolderLock::FolderLock(int folder) : folder_(folder) {
    if (folder_ < 0)
        return;
    QDeadlineTimer deadline(2000);
    while (!(locked_ = ::flock(folder_, LOCK_EX | LOCK_NB) == 0)) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (deadline.hasExpired())
            return;
        QThread::msleep(2);
    }
}

CborUserDefaults::FolderLock::~FolderLock() {
    if (locked_)
        ::flock(folder_, LOCK_UN);
}

QString CborUserDefaults::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/pelora/defaults.cbor");
}

QVariant CborUserDefaults::storedForm(const QVariant& value) {
    bool ok = true;
    QVariant stored = decodeValue(encodeValue(value, kMaxDepth, ok), kMaxDepth, ok);
    return ok ? stored : QVariant();
}

// The whole file must be one map (optionally behind the self-describing CBOR tag) and nothing
// after it; anything else is damage.
std::optional<QVariantMap> CborUserDefaults::decodeFile(const QByteArray& bytes) {
    QCborStreamReader reader(bytes);
    QCborValue root = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError || reader.currentOffset() != bytes.size())
        return std::nullopt;
    if (root.isTag() && root.tag() == QCborKnownTags::Signature)
        root = root.taggedValue();
    if (!root.isMap())
        return std::nullopt;
    QVariantMap values;
    bool ok = true;
    const QCborMap map = root.toMap();
    for (auto it = map.cbegin(); it != map.cend() && ok; ++it) {
        if (!it.key().isString())
            continue;
        QVariant value = decodeValue(it.value(), kMaxDepth, ok);
        if (value.isValid())
            values.insert(it.key().toString(), value);
    }
    if (!ok)
        return std::nullopt;
    return values;
}

// Written in one pass: inserting key by key into a QCborMap searches it every time.
QByteArray CborUserDefaults::encodeFile(const QVariantMap& values) {
    QByteArray bytes;
    QCborStreamWriter writer(&bytes);
    writer.append(QCborKnownTags::Signature);
    writer.startMap(quint64(values.size()));
    bool ok = true;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        writer.append(it.key());
        encodeValue(it.value(), kMaxDepth, ok).toCbor(writer);
    }
    writer.endMap();
    return bytes;
}

std::optional<QVariant> CborUserDefaults::objectForKey(const QString& key) const {
    auto it = values_.constFind(key);
    if (it == values_.constEnd())
        return std::nullopt;
    return *it;
}

void CborUserDefaults::setObject(const QString& key, const QVariant& value) {
    if (key.isEmpty())
        return;
    const QVariant stored = storedForm(value);
    if (!stored.isValid()) {
        removeObject(key);
        return;
    }
    pending_.insert(key, stored);
    values_.insert(key, stored);
    scheduleFlush();
    Q_EMIT valueChanged(key);
}

void CborUserDefaults::removeObject(const QString& key) {
    if (key.isEmpty())
        return;
    // Also when not known here: another process may have written it a moment ago.
    pending_.insert(key, std::nullopt);
    scheduleFlush();
    if (values_.remove(key))
        Q_EMIT valueChanged(key);
}

QStringList CborUserDefaults::allKeys() const {
    return values_.keys();
}

void CborUserDefaults::synchronize() {
    syncWithDisk();
}

void CborUserDefaults::scheduleFlush() {
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void CborUserDefaults::syncWithDisk() {
    flushTimer_.stop();
    reloadTimer_.stop();
    QVariantMap merged;
    if (exchange(merged))
        applyAndNotify(std::move(merged));
}

// Reads the file and writes it back with the pending changes laid over it, all under the lock;
// merged is what the store holds now. False when the file could not be read: then nothing is
// written and the store keeps what it had.
bool CborUserDefaults::exchange(QVariantMap& merged) {
    ensureFolderWatched();
    FolderLock lock(folder_);
    if (!opened_ && lock.locked())
        removeStaleTemporaryFiles();
    const ReadResult result = readFile(merged);
    opened_ = true;
    if (result == ReadResult::Failed)
        return false;
    if (pending_.isEmpty())
        return true;
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        if (it.value())
            merged.insert(it.key(), *it.value());
        else
            merged.remove(it.key());
    }
    if (writeFile(merged))
        pending_.clear();
    return true;
}

// The file is named by whoever can write the folder: it is opened without following a link and
// without waiting for a writer (a FIFO), must be a plain file, and is read up to a cap.
CborUserDefaults::ReadResult CborUserDefaults::readFile(QVariantMap& values) {
    const QByteArray path = QFile::encodeName(filePath_);
    const auto aside = [&](const struct stat& seen, const char* reason) {
        return setAside(filePath_, seen, reason) ? ReadResult::SetAside : ReadResult::Failed;
    };
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    if (!S_ISREG(st.st_mode))
        return aside(st, "unreadable");
    const FileDescriptor fd(
        ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        if (errno == EACCES || errno == EPERM || errno == ELOOP)
            return aside(st, "unreadable");
        return ReadResult::Failed;
    }
    if (::fstat(fd.get(), &st) != 0)
        return ReadResult::Failed;
    if (!S_ISREG(st.st_mode))
        return aside(st, "unreadable");
    // Only the user may read what the program remembers, whoever created the file; a file with
    // other names (a hard link) belongs elsewhere too and keeps its mode.
    if ((st.st_mode & 07777) != 0600 && st.st_nlink == 1 && st.st_uid == ::geteuid())
        ::fchmod(fd.get(), 0600);
    if (st.st_size > kMaxFileSize)
        return aside(st, "corrupt");
    const std::optional<QByteArray> bytes = readAtMost(fd.get(), st.st_size, kMaxFileSize);
    fileRead();
    if (!bytes)
        return ReadResult::Failed;
    // An empty file is an empty store.
    if (bytes->isEmpty())
        return ReadResult::Read;
    if (*bytes == diskBytes_) {
        values = diskValues_;
        return ReadResult::Read;
    }
    std::optional<QVariantMap> decoded =
        bytes->size() > kMaxFileSize ? std::nullopt : decodeFile(*bytes);
    if (!decoded)
        return aside(st, "corrupt");
    diskBytes_ = *bytes;
    diskValues_ = std::move(*decoded);
    values = diskValues_;
    return ReadResult::Read;
}

// A private temporary file beside the store, flushed to the disk and renamed over the store, as
// QSaveFile does; a rename replaces a link or anything else in the way, never writing into it.
bool CborUserDefaults::writeFile(const QVariantMap& values) {
    const QByteArray bytes = encodeFile(values);
    // A file the next read would refuse must not replace one it accepts.
    if (bytes.size() > kMaxFileSize)
        return false;
    QByteArray temporary = QFile::encodeName(filePath_) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), QFile::encodeName(filePath_).constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    diskBytes_ = bytes;
    diskValues_ = values;
    return true;
}

// A writer killed between creating its temporary file and the rename leaves the file behind.
// Called holding the lock, so no live writer is in the middle of one.
void CborUserDefaults::removeStaleTemporaryFiles() {
    const QFileInfo store(filePath_);
    static const QRegularExpression temporary(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    const QStringList names =
        store.dir().entryList({store.fileName() + QStringLiteral(".??????")},
                              QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names)
        if (temporary.match(QStringView(name).mid(store.fileName().size())).hasMatch())
            QFile::remove(store.dir().filePath(name));
}

void CborUserDefaults::applyAndNotify(QVariantMap fresh) {
    QStringList changed;
    auto a = values_.cbegin();
    auto b = fresh.cbegin();
    while (a != values_.cend() || b != fresh.cend()) {
        if (b == fresh.cend() || (a != values_.cend() && a.key() < b.key())) {
            changed << a.key();
            ++a;
        } else if (a == values_.cend() || b.key() < a.key()) {
            changed << b.key();
            ++b;
        } else {
            if (!identical(a.value(), b.value()))
                changed << a.key();
            ++a;
            ++b;
        }
    }
    values_ = std::move(fresh);
    for (const QString& key : std::as_const(changed))
        Q_EMIT valueChanged(key);
}

void CborUserDefaults::ensureFolderWatched() {
    const QString folder = QFileInfo(filePath_).absolutePath();
    if (watcher_.directories().contains(folder))
        return;
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, kPrivateFolder);
    if (!QFileInfo(folder).isDir())
        return;
    watcher_.addPath(folder);
    // A folder made anew (the old one deleted) needs its own handle for locking.
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
