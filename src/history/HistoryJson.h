#pragma once

#include "common/Dates.h"

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

} // namespace historyjson
