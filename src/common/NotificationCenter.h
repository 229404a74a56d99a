#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

// A notification name, declared once beside the code that owns it.
struct NotificationName {
    const char* name;
    QString string() const { return QString::fromLatin1(name); }
};

// Observers by name; delivery is synchronous on the posting thread (the main thread).
class NotificationCenter {
public:
    using Observer = std::function<void(const QVariantMap& userInfo)>;
    using Token = quint64;

    Token addObserver(NotificationName name, Observer observer);
    void removeObserver(Token token);
    void post(NotificationName name, const QVariantMap& userInfo = {});
    int observerCount(NotificationName name) const;

private:
    struct Entry {
        Token token;
        QString name;
        std::shared_ptr<Observer> observer;
    };
    std::vector<Entry> entries_;
    Token nextToken_ = 1;
};
