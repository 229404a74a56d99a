#pragma once

#include "common/Dates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <optional>

// Strict reading of the JSON-encoded histories: a required value must be present, not null
// and of its type, or the whole history counts as unreadable.
namespace historyjson {

inline std::optional<QString> requiredString(const QJsonObject& object, QLatin1String key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

// Dates are seconds since 2001-01-01 as a number.
inline std::optional<QDateTime> requiredDate(const QJsonObject& object, QLatin1String key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return dateFromSecondsSince2001(value.toDouble());
}

// An optional string: missing or null is absent (ok), a string is the value, anything else
// makes the history unreadable (nullopt).
struct OptionalString {
    std::optional<QString> value;
};
inline std::optional<OptionalString> optionalString(const QJsonObject& object, QLatin1String key) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return OptionalString{};
    if (!value.isString())
        return std::nullopt;
    return OptionalString{value.toString()};
}

inline QJsonValue dateValue(const QDateTime& date) {
    return QJsonValue(secondsSince2001(date));
}

// A history stored as a JSON array of objects, each read by readOne (an optional record). One
// unreadable element makes the whole history unreadable.
template <class Record, class ReadOne>
std::optional<QList<Record>> decodeArray(const QByteArray& data, ReadOne readOne) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<Record> records;
    const QJsonArray array = document.array();
    records.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return std::nullopt;
        std::optional<Record> record = readOne(element.toObject());
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

} // namespace historyjson
