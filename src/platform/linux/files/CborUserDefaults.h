#pragma once

#include "platform/UserDefaults.h"

#include <QFileSystemWatcher>
#include <QMap>
#include <QTimer>
#include <QVariantMap>
#include <optional>

// The user defaults in one CBOR file, $XDG_CONFIG_HOME/pelora/defaults.cbor. Every sync locks
// the folder against the other Pelora processes, reads the file, lays this store's pending
// changes over it and, when there are any, writes a temporary file beside it and renames it
// into place: concurrent writers merge per key and a killed writer never leaves half a file.
// The folder is watched, so a change written by another process (the defaults tool) is seen
// while running. A file that cannot be read or decoded counts as empty and is moved aside,
// never overwritten; so is a link or anything else that is not a plain file.
class CborUserDefaults : public UserDefaults {
    Q_OBJECT
public:
    // The store of the logged-in user.
    CborUserDefaults();
    // A store in the given file; its folder is created when missing.
    explicit CborUserDefaults(const QString& filePath);
    ~CborUserDefaults() override;

    static QString defaultFilePath();

    QString filePath() const { return filePath_; }

    std::optional<QVariant> objectForKey(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;
    QStringList allKeys() const override;
    void synchronize() override;
    bool hasUnsavedChanges() const override { return !pending_.isEmpty(); }

    // Larger files are not a store this program wrote, and are not read into memory. Its own
    // stores stay far below (40,000 keys take about 1 MB); decoded, a file of one-byte values
    // takes some fifty times its size.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

protected:
    // Called under the folder lock between reading the file and writing it back, so a test can
    // widen that moment.
    virtual void fileRead() {}

private:
    enum class ReadResult { Read, Missing, SetAside, Failed };

    void scheduleFlush();
    void syncWithDisk();
    bool exchange(QVariantMap& merged);
    ReadResult readFile(QVariantMap& values);
    bool writeFile(const QVariantMap& values);
    void applyAndNotify(QVariantMap fresh);
    void ensureFolderWatched();

    // Holds the store's folder locked against the syncs of other Pelora processes.
    class FolderLock {
    public:
        explicit FolderLock(int folder);
        ~FolderLock();
        FolderLock(const FolderLock&) = delete;
        FolderLock& operator=(const FolderLock&) = delete;
        bool locked() const { return locked_; }

    private:
        int folder_;
        bool locked_ = false;
    };

    QString filePath_;
    int folder_ = -1;
    bool opened_ = false;
    QVariantMap values_;
    // Changes not yet written; an empty optional removes the key.
    QMap<QString, std::optional<QVariant>> pending_;
    // The file as last read or written, and what it holds: the same bytes are not decoded
    // again (a sync follows every write, own ones included).
    QByteArray diskBytes_;
    QVariantMap diskValues_;
    QFileSystemWatcher watcher_;
    QTimer flushTimer_;
    QTimer reloadTimer_;
};
