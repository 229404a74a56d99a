#include "platform/linux/files/CborUserDefaults.h"

#include "platform/linux/files/CborDefaultsCodec.h"
#include "platform/linux/files/SafeFile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

std::optional<QVariant> CborUserDefaults::objectForKey(const QString& key) const {
    return valueIn(values_, key);
}

void CborUserDefaults::setObject(const QString& key, const QVariant& value) {
    if (key.isEmpty())
        return;
    const QVariant stored = CborDefaultsCodec::storedForm(value);
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
    // A writer killed between creating its temporary file and the rename leaves the file
    // behind; holding the lock, no live writer is in the middle of one.
    if (!opened_ && lock.locked())
        SafeFile::removeLeftoverTemporaryFiles(filePath_);
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

// The file is named by whoever can write the folder: it is read without following a link and
// without waiting for a writer (a FIFO), must be a plain file, and is read up to a cap.
CborUserDefaults::ReadResult CborUserDefaults::readFile(QVariantMap& values) {
    using Read = SafeFile::ReadResult;
    const Read read = SafeFile::read(
        filePath_, {.maxSize = kMaxFileSize, .followLinks = false, .makePrivate = true});
    if (read.status == Read::read)
        fileRead();
    const auto aside = [&](const char* reason) {
        return read.found && setAside(filePath_, *read.found, reason) ? ReadResult::SetAside
                                                                      : ReadResult::Failed;
    };
    switch (read.status) {
    case Read::missing:
        return ReadResult::Missing;
    case Read::notRegular:
    case Read::unreadable:
        return aside("unreadable");
    case Read::tooLarge:
        return aside("corrupt");
    case Read::failed:
        return ReadResult::Failed;
    case Read::read:
        break;
    }
    // An empty file is an empty store.
    if (read.data.isEmpty())
        return ReadResult::Read;
    if (read.data == diskBytes_) {
        values = diskValues_;
        return ReadResult::Read;
    }
    std::optional<QVariantMap> decoded = CborDefaultsCodec::decode(read.data);
    if (!decoded)
        return aside("corrupt");
    diskBytes_ = read.data;
    diskValues_ = std::move(*decoded);
    values = diskValues_;
    return ReadResult::Read;
}

// A rename replaces a link or anything else in the way, never writing into it.
bool CborUserDefaults::writeFile(const QVariantMap& values) {
    const QByteArray bytes = CborDefaultsCodec::encode(values);
    // A file the next read would refuse must not replace one it accepts.
    if (bytes.size() > kMaxFileSize || !SafeFile::writeAtomically(filePath_, bytes, 0600))
        return false;
    diskBytes_ = bytes;
    diskValues_ = values;
    return true;
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
