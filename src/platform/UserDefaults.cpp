#include "platform/UserDefaults.h"

namespace {
int typeId(const QVariant& v) {
    return v.metaType().id();
}
} // namespace

bool variantIsBool(const QVariant& v) {
    return typeId(v) == QMetaType::Bool;
}

bool variantIsInteger(const QVariant& v) {
    switch (typeId(v)) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool variantIsNumber(const QVariant& v) {
    return variantIsInteger(v) || typeId(v) == QMetaType::Double || typeId(v) == QMetaType::Float;
}
bool variantIsString(const QVariant& v) {
    return typeId(v) == QMetaType::QString;
}
bool variantIsData(const QVariant& v) {
    return typeId(v) == QMetaType::QByteArray;
}
bool variantIsDate(const QVariant& v) {
    return typeId(v) == QMetaType::QDateTime;
}
bool variantIsArray(const QVariant& v) {
    return typeId(v) == QMetaType::QVariantList || typeId(v) == QMetaType::QStringList;
}
bool variantIsDictionary(const QVariant& v) {
    return typeId(v) == QMetaType::QVariantMap;
}

bool UserDefaults::boolForKey(const QString& key, bool fallback) const {
    auto v = objectForKey(key);
    if (!v)
        return fallback;
    if (variantIsBool(*v))
        return v->toBool();
    if (variantIsNumber(*v))
        return v->toDouble() != 0;
    if (variantIsString(*v)) {
        const QString s = v->toString().trimmed().toLower();
        if (s == u"yes" || s == u"true" || s == u"1")
            return true;
        if (s == u"no" || s == u"false" || s == u"0")
            return false;
    }
    return fallback;
}

namespace {
// A number, a flag, or a string that reads as a number; else fallback.
template <typename Number, typename Parse>
Number numberOf(const std::optional<QVariant>& v, Number fallback, Parse parse) {
    if (!v)
        return fallback;
    if (variantIsBool(*v) || variantIsNumber(*v))
        return v->value<Number>();
    if (variantIsString(*v)) {
        bool ok = false;
        const Number n = parse(v->toString().trimmed(), &ok);
        return ok ? n : fallback;
    }
    return fallback;
}
} // namespace

qint64 UserDefaults::integerForKey(const QString& key, qint64 fallback) const {
    return numberOf<qint64>(objectForKey(key), fallback,
                            [](const QString& s, bool* ok) { return s.toLongLong(ok); });
}

double UserDefaults::doubleForKey(const QString& key, double fallback) const {
    return numberOf<double>(objectForKey(key), fallback,
                            [](const QString& s, bool* ok) { return s.toDouble(ok); });
}

QString UserDefaults::stringForKey(const QString& key, const QString& fallback) const {
    auto v = objectForKey(key);
    if (!v || !variantIsString(*v))
        return fallback;
    return v->toString();
}

QByteArray UserDefaults::dataForKey(const QString& key) const {
    auto v = objectForKey(key);
    if (!v || !variantIsData(*v))
        return {};
    return v->toByteArray();
}

std::optional<QVariantList> UserDefaults::arrayForKey(const QString& key) const {
    auto v = objectForKey(key);
    if (!v || !variantIsArray(*v))
        return std::nullopt;
    return v->toList();
}

std::optional<QVariant> valueIn(const QVariantMap& values, const QString& key) {
    auto it = values.constFind(key);
    if (it == values.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QVariant> InMemoryUserDefaults::objectForKey(const QString& key) const {
    return valueIn(values_, key);
}

void InMemoryUserDefaults::setObject(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    values_.insert(key, value);
    Q_EMIT valueChanged(key);
}

void InMemoryUserDefaults::removeObject(const QString& key) {
    if (values_.remove(key))
        Q_EMIT valueChanged(key);
}

QStringList InMemoryUserDefaults::allKeys() const {
    return values_.keys();
}
