#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <optional>

// Icon names by file path (documents and applications), filled by the background worker and
// read by the main thread, which turns names into icons. Safe from any thread.
class IconNameCache {
public:
    std::optional<QString> object(const QString& key) const {
        QMutexLocker lock(&mutex_);
        auto it = names_.constFind(key);
        if (it == names_.constEnd())
            return std::nullopt;
        return *it;
    }
    bool contains(const QString& key) const {
        QMutexLocker lock(&mutex_);
        return names_.contains(key);
    }
    void setObject(const QString& iconName, const QString& key) {
        QMutexLocker lock(&mutex_);
        names_.insert(key, iconName);
    }
    void removeObject(const QString& key) {
        QMutexLocker lock(&mutex_);
        names_.remove(key);
    }
    void removeAllObjects() {
        QMutexLocker lock(&mutex_);
        names_.clear();
    }
    qsizetype count() const {
        QMutexLocker lock(&mutex_);
        return names_.size();
    }

private:
    mutable QMutex mutex_;
    QHash<QString, QString> names_;
};
