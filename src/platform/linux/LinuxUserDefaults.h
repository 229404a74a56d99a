#pragma once

#include "platform/UserDefaults.h"

#include <QFileSystemWatcher>
#include <QSettings>
#include <QTimer>
#include <QVariantMap>
#include <memory>

// The user defaults in one CBOR file, $XDG_CONFIG_HOME/pelora/defaults.cbor, read and written
// through QSettings: writes take its lock file and replace the file atomically, so concurrent
// writers merge per key and a killed writer never leaves half a file. The folder is watched, so
// a change written by another process (the defaults tool) is seen while running. A file that
// cannot be read or decoded counts as empty and is moved aside, never overwritten.
class LinuxUserDefaults : public UserDefaults {
    Q_OBJECT
public:
    // The store of the logged-in user.
    LinuxUserDefaults();
    // A store in the given file; its folder is created when missing.
    explicit LinuxUserDefaults(const QString& filePath);
    ~LinuxUserDefaults() override;

    static QString defaultFilePath();
    // The QSettings format that keeps the value types (registered once per process).
    static QSettings::Format settingsFormat();

    QString filePath() const { return filePath_; }

    std::optional<QVariant> objectForKey(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;
    QStringList allKeys() const override;
    void synchronize() override;
    bool hasUnsavedChanges() const override { return unsaved_; }

    // What storing the value and reading it back gives: integers as qint64, dates in UTC,
    // string lists as lists. Invalid for values that cannot be stored.
    static QVariant storedForm(const QVariant& value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeSettings();
    void scheduleFlush();
    void syncWithDisk();
    void recoverFromAccessError();
    void reloadAndNotify();
    void ensureFolderWatched();
    void ensurePrivateFile();

    // Holds the store's folder locked against the syncs of other Pelora processes.
    class FolderLock {
    public:
        explicit FolderLock(int folder);
        ~FolderLock();
        FolderLock(const FolderLock&) = delete;
        FolderLock& operator=(const FolderLock&) = delete;

    private:
        int folder_;
        bool locked_ = false;
    };

    QString filePath_;
    int folder_ = -1;
    std::unique_ptr<QSettings> settings_;
    QVariantMap values_;
    bool unsaved_ = false;
    QFileSystemWatcher watcher_;
    QTimer flushTimer_;
    QTimer reloadTimer_;
};
