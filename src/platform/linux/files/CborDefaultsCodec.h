#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// The user defaults file's format: one CBOR map behind the self-describing tag, its values
// keeping their types (bool, integer, double, string, data, date, arrays, dictionaries).
namespace CborDefaultsCodec {

// Deeper values are not this program's; the file holding one counts as damaged.
inline constexpr int maxDepth = 64;

// What storing the value and reading it back gives: integers as qint64, dates in UTC, string
// lists as lists. Invalid for values that cannot be stored.
QVariant storedForm(const QVariant& value);

// The file's contents, or nothing when they are damaged.
std::optional<QVariantMap> decode(const QByteArray& bytes);
QByteArray encode(const QVariantMap& values);

} // namespace CborDefaultsCodec
