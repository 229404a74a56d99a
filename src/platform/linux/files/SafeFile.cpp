#include "platform/linux/files/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

int openForReading(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty())
        return -1;
    int fd;
    do
        fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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

} // namespace

bool SafeFile::isRegularFile(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    struct stat st {};
    return !local.isEmpty() && ::stat(local.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<QByteArray> SafeFile::readRegularFile(const QString& path, qint64 maxSize) {
    const Fd file{openForReading(path)};
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxSize)
        return std::nullopt;
    // The file may grow while it is read: one byte more than allowed tells.
    auto data = readUpTo(file.fd, maxSize + 1);
    if (!data || data->size() > maxSize)
        return std::nullopt;
    return data;
}

std::optional<QByteArray> SafeFile::readKernelFile(const QString& path, qint64 maxSize) {
    const Fd file{openForReading(path)};
    if (file.fd < 0)
        return std::nullopt;
    return readUpTo(file.fd, maxSize);
}
