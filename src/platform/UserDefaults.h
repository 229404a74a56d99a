#pragma once

#include <QDateTime>
#include <QObject>
#include <QVariant>
#include <optional>

// The user's preferences and the program's persisted state: one typed key-value store.
// Values are bool, qint64, double, QString, QByteArray, QDateTime (UTC), and QVariantList /
// QVariantMap of those. Reads tell an absent key from a present one and keep the stored type.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    ~UserDefaults() override = default;

    virtual std::optional<QVariant> objectForKey(const QString& key) const = 0;
    virtual void setObject(const QString& key, const QVariant& value) = 0;
    virtual void removeObject(const QString& key) = 0;
    virtual QStringList allKeys() const = 0;
    // Writes pending changes out and picks up changes made by other processes.
    virtual void synchronize() {}
    // Whether changes made here have not reached storage; after synchronize(), a failed save.
    virtual bool hasUnsavedChanges() const { return false; }

    bool contains(const QString& key) const { return objectForKey(key).has_value(); }
    // Typed reads: the value when present and of the asked type, otherwise the fallback.
    bool boolForKey(const QString& key, bool fallback = false) const;
    qint64 integerForKey(const QString& key, qint64 fallback = 0) const;
    double doubleForKey(const QString& key, double fallback = 0) const;
    QString stringForKey(const QString& key, const QString& fallback = {}) const;
    QByteArray dataForKey(const QString& key) const;
    std::optional<QVariantList> arrayForKey(const QString& key) const;

Q_SIGNALS:
    // Emitted on the main thread after a key was written, removed, or changed by another process.
    void valueChanged(const QString& key);
};

// A defaults key declared once, with its type and the value its absence means.
template <class T> struct DefaultsKey {
    const char* name;
    T absentValue;

    QString key() const { return QString::fromLatin1(name); }
    T read(const UserDefaults& defaults) const;
    void write(UserDefaults& defaults, const T& value) const {
        defaults.setObject(key(), QVariant::fromValue(value));
    }
};

template <> inline bool DefaultsKey<bool>::read(const UserDefaults& d) const {
    return d.boolForKey(key(), absentValue);
}
template <> inline qint64 DefaultsKey<qint64>::read(const UserDefaults& d) const {
    return d.integerForKey(key(), absentValue);
}
template <> inline double DefaultsKey<double>::read(const UserDefaults& d) const {
    return d.doubleForKey(key(), absentValue);
}
template <> inline QString DefaultsKey<QString>::read(const UserDefaults& d) const {
    return d.stringForKey(key(), absentValue);
}

// Whether a stored value has the given kind. Integers are accepted where a double is asked
// for, as the store may hand back whole numbers either way.
bool variantIsBool(const QVariant& v);
bool variantIsInteger(const QVariant& v);
bool variantIsNumber(const QVariant& v);
bool variantIsString(const QVariant& v);
bool variantIsData(const QVariant& v);
bool variantIsDate(const QVariant& v);
bool variantIsArray(const QVariant& v);
bool variantIsDictionary(const QVariant& v);

// The store used by tests and whenever nothing needs to persist.
// The stored value of key, if any.
std::optional<QVariant> valueIn(const QVariantMap& values, const QString& key);

class InMemoryUserDefaults : public UserDefaults {
    Q_OBJECT
public:
    std::optional<QVariant> objectForKey(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;
    QStringList allKeys() const override;

private:
    QVariantMap values_;
};
