#include "platform/linux/files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What mkostemp puts after the name it is given.
constexpr QLatin1StringView kTemporarySuffix(".XXXXXX");

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

int openForReading(const QByteArray& local, int extraFlags) {
    int fd;
    do
        fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Up to limit bytes; nullopt on a read error.
std::optional<QByteArray> readUpTo(int fd, qint64 limit) {
    QByteArray data;
    while (data.size() < limit) {
        const qint64 chunk = qMin<qint64>(limit - data.size(), 64 * 1024);
        const qsizetype old = data.size();
        data.resize(old + chunk);
        const ssize_t n = ::read(fd, data.data() + old, size_t(chunk));
        if (n < 0 && errno == EINTR) {
            data.resize(old);
            continue;
        }
        if (n < 0)
            return std::nullopt;
        data.resize(old + n);
        if (n == 0)
            break;
    }
    return data;
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

} // namespace

bool SafeFile::isRegularFile(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    struct stat st {};
    return !local.isEmpty() && ::stat(local.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

SafeFile::ReadResult SafeFile::read(const QString& path, const ReadOptions& options) {
    ReadResult result;
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty())
        return result;
    struct stat st {};
    if (!options.followLinks) {
        if (::lstat(local.constData(), &st) != 0) {
            result.status = errno == ENOENT ? ReadResult::missing : ReadResult::failed;
            return result;
        }
        result.found = st;
        if (!S_ISREG(st.st_mode)) {
            result.status = ReadResult::notRegular;
            return result;
        }
    }
    const Fd file{openForReading(local, options.followLinks ? 0 : O_NOFOLLOW)};
    if (file.fd < 0) {
        result.status = errno == ENOENT ? ReadResult::missing
                        : errno == EACCES || errno == EPERM || errno == ELOOP
                            ? ReadResult::unreadable
                            : ReadResult::failed;
        return result;
    }
    if (::fstat(file.fd, &st) != 0)
        return result;
    result.found = st;
    if (!S_ISREG(st.st_mode)) {
        result.status = ReadResult::notRegular;
        return result;
    }
    // A file with other names (a hard link) belongs elsewhere too and keeps its mode.
    if (options.makePrivate && (st.st_mode & 07777) != 0600 && st.st_nlink == 1 &&
        st.st_uid == ::geteuid())
        ::fchmod(file.fd, 0600);
    const qint64 maxSize = qMax<qint64>(0, options.maxSize);
    if (st.st_size > maxSize && !options.cutAtMaxSize) {
        result.status = ReadResult::tooLarge;
        return result;
    }
    // The file may grow while it is read: one byte more than allowed tells.
    std::optional<QByteArray> data = readUpTo(file.fd, maxSize + (options.cutAtMaxSize ? 0 : 1));
    if (!data)
        return result;
    if (data->size() > maxSize) {
        result.status = ReadResult::tooLarge;
        return result;
    }
    result.status = ReadResult::read;
    result.data = std::move(*data);
    return result;
}

std::optional<QByteArray> SafeFile::readRegularFile(const QString& path, qint64 maxSize) {
    ReadResult result = read(path, {.maxSize = maxSize});
    if (result.status != ReadResult::read)
        return std::nullopt;
    return std::move(result.data);
}

std::optional<QByteArray> SafeFile::readKernelFile(const QString& path, qint64 maxSize) {
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty())
        return std::nullopt;
    const Fd file{openForReading(local, 0)};
    if (file.fd < 0)
        return std::nullopt;
    return readUpTo(file.fd, maxSize);
}

bool SafeFile::writeAtomically(const QString& path, const QByteArray& bytes, mode_t mode) {
    const QByteArray target = QFile::encodeName(path);
    if (target.isEmpty())
        return false;
    QByteArray temporary = target + kTemporarySuffix.latin1();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

void SafeFile::removeLeftoverTemporaryFiles(const QString& path) {
    const QFileInfo file(path);
    static const QRegularExpression temporary(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    const QStringList names =
        file.dir().entryList({file.fileName() + QStringLiteral(".??????")},
                             QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names)
        if (temporary.match(QStringView(name).mid(file.fileName().size())).hasMatch())
            QFile::remove(file.dir().filePath(name));
}
