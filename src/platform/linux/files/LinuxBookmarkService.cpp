#include "platform/linux/files/LinuxBookmarkService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char kMagic[4] = {'P', 'L', 'B', 'K'};
constexpr int kHeaderSize = 28;
constexpr quint32 kMaxPathBytes = 65536;
constexpr quint16 kFlagScoped = 0x1;
constexpr quint16 kFlagDirectory = 0x2;
constexpr quint16 kKnownFlags = kFlagScoped | kFlagDirectory;

// The path of a file URL as the reference keeps it, or empty when the URL cannot be kept.
QString referencedPath(const QUrl& url) {
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!QDir::isAbsolutePath(path) || path.contains(QChar(u'\0')))
        return {};
    return path;
}

bool statPath(const QString& path, struct stat& st) {
    const QByteArray local = QFile::encodeName(path);
    return ::stat(local.constData(), &st) == 0;
}

// The folders a renamed or moved item is looked for in, in this order, each once.
QStringList searchFolders(const QString& oldPath) {
    QStringList folders{QFileInfo(oldPath).path()};
    for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
                          QStandardPaths::DownloadLocation, QStandardPaths::MusicLocation,
                          QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation,
                          QStandardPaths::HomeLocation})
        folders.append(QStandardPaths::writableLocation(location));
    QStringList unique;
    QSet<QString> seen;
    for (const QString& folder : std::as_const(folders)) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (!canonical.isEmpty() && !seen.contains(canonical)) {
            seen.insert(canonical);
            unique.append(folder);
        }
    }
    return unique;
}

// The path of an entry of the folder that is the item with this identity, or empty. `budget`
// counts down the entries looked at.
QString findInFolder(const QString& folder, quint64 device, quint64 inode, int& budget) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return {};
    QString found;
    while (budget > 0) {
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        --budget;
        if (qstrcmp(entry->d_name, ".") == 0 || qstrcmp(entry->d_name, "..") == 0)
            continue;
        // Asked of each entry rather than trusting d_ino, which overlay file systems may give
        // differently; the entry itself, not what a link points at: the reference named the item.
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            quint64(st.st_dev) == device && quint64(st.st_ino) == inode) {
            found = QDir(folder).filePath(QFile::decodeName(entry->d_name));
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// What the folders' states are: one that gains or loses an entry changes its stamp.
QByteArray folderStamps(const QStringList& folders) {
    QByteArray stamps;
    for (const QString& folder : folders) {
        struct stat st {};
        if (statPath(folder, st))
            stamps += QByteArray::number(quint64(st.st_ino)) + ':' +
                      QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                      QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ';';
        else
            stamps += "-;";
    }
    return stamps;
}

template <class T> void append(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <class T> T readAt(const QByteArray& in, int offset) {
    return qFromBigEndian<T>(in.constData() + offset);
}
} // namespace

QString LinuxBookmarkService::findByIdentity(const BookmarkRecord& record) {
    int budget = maxEntriesSearched;
    for (const QString& folder : searchFolders(record.path)) {
        const QString found = findInFolder(folder, record.device, record.inode, budget);
        if (!found.isEmpty())
            return QDir::cleanPath(found);
        if (budget <= 0)
            break;
    }
    return {};
}

int LinuxBookmarkService::searchesMade() const {
    QMutexLocker lock(&mutex_);
    return searches_;
}

QString LinuxBookmarkService::findUnlessKnownMissing(const BookmarkRecord& record) {
    const QByteArray key = QByteArray::number(record.device) + ':' +
                           QByteArray::number(record.inode) + ':' + record.path.toUtf8();
    const QByteArray stamps = folderStamps(searchFolders(record.path));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        QMutexLocker lock(&mutex_);
        const auto miss = misses_.constFind(key);
        if (miss != misses_.cend() && miss->folderStamps == stamps &&
            now - miss->when < missRememberedMs && now >= miss->when)
            return {};
        ++searches_;
    }
    const QString found = findByIdentity(record);
    QMutexLocker lock(&mutex_);
    if (found.isEmpty())
        misses_.insert(key, Miss{stamps, now});
    else
        misses_.remove(key);
    return found;
}

QByteArray LinuxBookmarkService::encodeRecord(const BookmarkRecord& record) {
    const QByteArray path = record.path.toUtf8();
    QByteArray out;
    out.reserve(kHeaderSize + path.size());
    out.append(kMagic, sizeof kMagic);
    append<quint16>(out, currentVersion);
    append<quint16>(
        out, quint16((record.scoped ? kFlagScoped : 0) | (record.directory ? kFlagDirectory : 0)));
    append<quint64>(out, record.device);
    append<quint64>(out, record.inode);
    append<quint32>(out, quint32(path.size()));
    out.append(path);
    return out;
}

std::optional<BookmarkRecord> LinuxBookmarkService::decodeRecord(const QByteArray& data) {
    if (data.size() < kHeaderSize || !data.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return std::nullopt;
    BookmarkRecord record;
    record.version = readAt<quint16>(data, 4);
    if (record.version != 1)
        return std::nullopt;
    const quint16 flags = readAt<quint16>(data, 6);
    if (flags & ~kKnownFlags)
        return std::nullopt;
    record.scoped = flags & kFlagScoped;
    record.directory = flags & kFlagDirectory;
    record.device = readAt<quint64>(data, 8);
    record.inode = readAt<quint64>(data, 16);
    const quint32 length = readAt<quint32>(data, 24);
    if (length == 0 || length > kMaxPathBytes ||
        qint64(data.size()) != kHeaderSize + qint64(length))
        return std::nullopt;
    const QByteArrayView bytes(data.constData() + kHeaderSize, qsizetype(length));
    if (bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    record.path = decoder.decode(bytes);
    // Qt counts ":name" (its resources) as absolute: only a path from the root is one here.
    if (decoder.hasError() || !record.path.startsWith(u'/'))
        return std::nullopt;
    // A path with "." or ".." parts was not written by this program.
    if (QDir::cleanPath(record.path) != record.path)
        return std::nullopt;
    return record;
}

std::optional<QByteArray> LinuxBookmarkService::createBookmark(const QUrl& url,
                                                               bool securityScoped) {
    const QString path = referencedPath(url);
    if (path.isEmpty() || quint32(path.toUtf8().size()) > kMaxPathBytes)
        return std::nullopt;
    struct stat st {};
    if (!statPath(path, st))
        return std::nullopt;
    // The reference would be useless to a user who cannot read the item.
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK, AT_EACCESS) != 0)
        return std::nullopt;
    BookmarkRecord record;
    record.scoped = securityScoped;
    record.directory = S_ISDIR(st.st_mode);
    record.device = quint64(st.st_dev);
    record.inode = quint64(st.st_ino);
    record.path = path;
    return encodeRecord(record);
}

std::optional<QUrl> LinuxBookmarkService::resolveBookmark(const QByteArray& data,
                                                          bool securityScoped) {
    bool stale = false;
    return resolveBookmarkAndStaleness(data, securityScoped, stale);
}

std::optional<QUrl> LinuxBookmarkService::resolveBookmarkAndStaleness(const QByteArray& data,
                                                                      bool securityScoped,
                                                                      bool& isStale) {
    isStale = false;
    const auto record = decodeRecord(data);
    if (!record || (securityScoped && !record->scoped))
        return std::nullopt;
    struct stat st {};
    const bool exists = statPath(record->path, st);
    if (exists && quint64(st.st_dev) == record->device && quint64(st.st_ino) == record->inode)
        return QUrl::fromLocalFile(record->path);
    if (const QString moved = findUnlessKnownMissing(*record); !moved.isEmpty()) {
        isStale = true;
        return QUrl::fromLocalFile(moved);
    }
    if (!exists)
        return std::nullopt;
    isStale = true;
    return QUrl::fromLocalFile(record->path);
}

std::optional<QUrl> LinuxBookmarkService::recordedURL(const QByteArray& data) const {
    const auto record = decodeRecord(data);
    if (!record)
        return std::nullopt;
    return QUrl::fromLocalFile(record->path);
}

bool LinuxBookmarkService::startAccessing(const QUrl& url) {
    const QString path = referencedPath(url);
    struct stat st {};
    if (path.isEmpty() || !statPath(path, st))
        return false;
    ++accessCounts_[path];
    return true;
}

void LinuxBookmarkService::stopAccessing(const QUrl& url) {
    const QString path = referencedPath(url);
    auto it = accessCounts_.find(path);
    if (it == accessCounts_.end())
        return;
    if (--it.value() <= 0)
        accessCounts_.erase(it);
}

int LinuxBookmarkService::accessCount(const QUrl& url) const {
    return accessCounts_.value(referencedPath(url), 0);
}
