#include "platform/linux/files/CborDefaultsCodec.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>

namespace {

// remaining: how many more containers may open inside this value. ok turns false when a value
// nests deeper than that.
QCborValue encodeValue(const QVariant& value, int remaining, bool& ok) {
    const int type = value.metaType().id();
    const bool container = type == QMetaType::QVariantList || type == QMetaType::QStringList ||
                           type == QMetaType::QVariantMap || type == QMetaType::QVariantHash;
    if (container && remaining <= 0) {
        ok = false;
        return {};
    }
    switch (type) {
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QCborValue(date.toUTC()) : QCborValue();
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QCborArray array;
        for (const QVariant& item : value.toList())
            array.append(encodeValue(item, remaining - 1, ok));
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QCborMap map;
        const QVariantMap values = value.toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            map.insert(it.key(), encodeValue(it.value(), remaining - 1, ok));
        return map;
    }
    default:
        return QCborValue::fromVariant(value);
    }
}

QVariant decodeValue(const QCborValue& value, int remaining, bool& ok) {
    if ((value.isArray() || value.isMap()) && remaining <= 0) {
        ok = false;
        return {};
    }
    if (value.isArray()) {
        QVariantList list;
        const QCborArray array = value.toArray();
        list.reserve(array.size());
        for (const QCborValue& item : array)
            list.append(decodeValue(item, remaining - 1, ok));
        return list;
    }
    if (value.isMap()) {
        QVariantMap map;
        const QCborMap cbor = value.toMap();
        for (auto it = cbor.cbegin(); it != cbor.cend(); ++it) {
            const QString key =
                it.key().isString() ? it.key().toString() : it.key().toDiagnosticNotation();
            map.insert(key, decodeValue(it.value(), remaining - 1, ok));
        }
        return map;
    }
    if (value.isDateTime()) {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? QVariant(date.toUTC()) : QVariant();
    }
    if (value.isUndefined() || value.isInvalid())
        return {};
    return value.toVariant();
}

} // namespace

QVariant CborDefaultsCodec::storedForm(const QVariant& value) {
    bool ok = true;
    QVariant stored = decodeValue(encodeValue(value, maxDepth, ok), maxDepth, ok);
    return ok ? stored : QVariant();
}

// The whole file must be one map (optionally behind the self-describing CBOR tag) and nothing
// after it; anything else is damage.
std::optional<QVariantMap> CborDefaultsCodec::decode(const QByteArray& bytes) {
    QCborStreamReader reader(bytes);
    QCborValue root = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError || reader.currentOffset() != bytes.size())
        return std::nullopt;
    if (root.isTag() && root.tag() == QCborKnownTags::Signature)
        root = root.taggedValue();
    if (!root.isMap())
        return std::nullopt;
    QVariantMap values;
    bool ok = true;
    const QCborMap map = root.toMap();
    for (auto it = map.cbegin(); it != map.cend() && ok; ++it) {
        if (!it.key().isString())
            continue;
        QVariant value = decodeValue(it.value(), maxDepth, ok);
        if (value.isValid())
            values.insert(it.key().toString(), value);
    }
    if (!ok)
        return std::nullopt;
    return values;
}

// Written in one pass: inserting key by key into a QCborMap searches it every time.
QByteArray CborDefaultsCodec::encode(const QVariantMap& values) {
    QByteArray bytes;
    QCborStreamWriter writer(&bytes);
    writer.append(QCborKnownTags::Signature);
    writer.startMap(quint64(values.size()));
    bool ok = true;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        writer.append(it.key());
        encodeValue(it.value(), maxDepth, ok).toCbor(writer);
    }
    writer.endMap();
    return bytes;
}
