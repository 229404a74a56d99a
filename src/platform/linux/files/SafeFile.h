#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/stat.h>

// Files that another program or user may have put in place: a FIFO, a device or a huge file
// must neither block the reader nor swallow its memory, and a link must not be written through.
// Writes replace the file whole, so a reader or a crash never sees half of one.
namespace SafeFile {

// Whether path names a regular file (after symbolic links); never opens it.
bool isRegularFile(const QString& path);

struct ReadOptions {
    qint64 maxSize = 0;
    // A link at the path counts as not a regular file instead of being followed.
    bool followLinks = true;
    // A larger file gives its first maxSize bytes instead of being refused.
    bool cutAtMaxSize = false;
    // A file of this user's alone is made readable by no one else (it may hold what the user
    // keeps private, whoever created it).
    bool makePrivate = false;
};

struct ReadResult {
    enum Status { read, missing, notRegular, unreadable, tooLarge, failed };
    Status status = failed;
    QByteArray data; // when read
    // What was found at the path once it could be looked at: the link itself when links are
    // not followed, else the file opened.
    std::optional<struct stat> found;
};

// Opens without blocking, so a FIFO or a device put in place is refused at once, and reads only
// a regular file, within the size cap.
ReadResult read(const QString& path, const ReadOptions& options);
// The whole file when it is a regular file of at most maxSize bytes.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize);
// Files the kernel makes up (/proc): not regular, with no size until read. At most maxSize
// bytes of them, opened without blocking.
std::optional<QByteArray> readKernelFile(const QString& path, qint64 maxSize);

// A temporary file beside path with the given mode, flushed to the disk and renamed over path
// (as QSaveFile does): a link or anything else in the way is replaced, never written into, and
// a writer killed half-way leaves the old file whole. False, with nothing changed, on failure.
bool writeAtomically(const QString& path, const QByteArray& bytes, mode_t mode = 0600);
// Removes the temporary files writers killed before their rename left beside path. Only while
// no other writer of path is at work (the caller holds a lock they all take).
void removeLeftoverTemporaryFiles(const QString& path);

} // namespace SafeFile
