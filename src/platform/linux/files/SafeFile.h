#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reading files that another program or user may have put in place: a FIFO, a device or a
// huge file must neither block the caller nor swallow its memory.
namespace SafeFile {

// Whether path names a regular file (after symbolic links); never opens it.
bool isRegularFile(const QString& path);
// The whole file when it is a regular file of at most maxSize bytes; opened without blocking,
// so a FIFO or a device put in its place is refused at once.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize);
// Files the kernel makes up (/proc): not regular, with no size until read. At most maxSize
// bytes of them, opened without blocking.
std::optional<QByteArray> readKernelFile(const QString& path, qint64 maxSize);

} // namespace SafeFile
