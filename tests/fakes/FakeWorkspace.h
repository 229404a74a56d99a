#pragma once

#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QPixmap>
#include <QThread>
#include <atomic>

// Records what the program asks to open and launch; answers default applications and icons
// from tables the test fills. The thread-safe calls, which may touch the disk, may be slowed
// down or held on purpose, and those made on the main thread are counted.
class FakeWorkspace : public Workspace {
public:
    QList<QUrl> openedURLs;
    QList<QUrl> launchedApplications;
    bool openSucceeds = true;
    std::atomic<int> slowCallMs{0};
    std::atomic<bool> held{false}; // calls off the main thread wait while set
    std::atomic<int> diskCallsOnMain{0};

    void setDefaultApplication(const QString& extension, const QUrl& app) {
        QMutexLocker lock(&mutex_);
        defaultApps_.insert(extension.toLower(), app);
    }
    void setIconName(const QString& path, const QString& name) {
        QMutexLocker lock(&mutex_);
        iconNames_.insert(path, name);
    }
    // The program an application's bundle path starts.
    QHash<QString, QString> executables;
    QString applicationExecutablePath(const QUrl& applicationURL) override {
        return executables.value(applicationURL.toLocalFile());
    }

    bool openURL(const QUrl& url) override {
        openedURLs << url;
        return openSucceeds;
    }
    std::optional<QUrl> applicationToOpenURL(const QUrl& url) override {
        slowDown();
        QMutexLocker lock(&mutex_);
        const QString path = url.toLocalFile();
        const QString ext = path.section(u'/', -1).section(u'.', -1).toLower();
        auto it = defaultApps_.constFind(path.contains(u'.') ? ext : QString());
        if (it == defaultApps_.constEnd())
            return std::nullopt;
        return *it;
    }
    bool launchApplication(const QUrl& applicationURL, bool) override {
        launchedApplications << applicationURL;
        return true;
    }
    QIcon iconForFile(const QString& path) override { return iconForName(iconNameForFile(path)); }
    QIcon iconForFileType(const QString& type) override {
        return iconForName(QStringLiteral("type:") + type);
    }
    QString iconNameForFile(const QString& path) override {
        slowDown();
        QMutexLocker lock(&mutex_);
        return iconNames_.value(path, QStringLiteral("file:") + path);
    }
    QIcon iconForName(const QString& iconName) override {
        QPixmap pixmap(16, 16);
        pixmap.fill(QColor::fromRgb(uint(qHash(iconName)) | 0xff000000u));
        QIcon icon(pixmap);
        names_.insert(icon.cacheKey(), iconName);
        return icon;
    }
    // Which name an icon made by this fake was made for.
    QString nameOfIcon(const QIcon& icon) const { return names_.value(icon.cacheKey()); }

private:
    void slowDown() {
        const bool onMain = QThread::currentThread() == qApp->thread();
        diskCallsOnMain += onMain;
        while (held.load() && !onMain)
            QThread::msleep(2);
        if (int ms = slowCallMs.load())
            QThread::msleep(ms);
    }
    QMutex mutex_;
    QHash<QString, QUrl> defaultApps_;
    QHash<QString, QString> iconNames_;
    QHash<qint64, QString> names_;
};
