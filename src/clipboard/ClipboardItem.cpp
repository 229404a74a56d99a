#include "clipboard/ClipboardItem.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>

namespace {

// The shortest text that reads back as the same double, always with a fraction or an
// exponent, as the platform's own number printing does ("100.0", "0.5", "1e+16").
QString shortestDoubleText(double value) {
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(u'.') && !text.contains(u'e') && !text.contains(u'n') &&
        !text.contains(u'i'))
        text += QStringLiteral(".0");
    return text;
}

// Only the decoder the type names reads the bytes: content sniffing would let a picture
// claiming to be a PNG reach every image plugin installed.
void restrictToType(QImageReader& reader, const QString& type) {
    if (type == QLatin1String("image/png"))
        reader.setFormat("png");
    else if (type == QLatin1String("image/tiff"))
        reader.setFormat("tiff");
    else
        return;
    reader.setAutoDetectImageFormat(false);
}

// Whether every chunk of a PNG before its pixel data fits inside the bytes: libpng allocates a text
// chunk's declared length before reading it, so a few hundred bytes could otherwise ask for
// gigabytes.
bool pngChunksFit(const QByteArray& bytes) {
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!bytes.startsWith(signature))
        return true; // not a PNG the decoder will accept anyway
    qsizetype offset = signature.size();
    while (bytes.size() - offset >= 12) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + offset);
        const QByteArray type = bytes.mid(offset + 4, 4);
        if (length > quint64(bytes.size() - offset - 12))
            return type == "IDAT"; // cut pixel data is streamed, and still has a size
        offset += 12 + qsizetype(length);
        if (type == "IEND")
            break;
    }
    return true;
}

} // namespace

QString imageFingerprint(const QImage& image) {
    QImage canonical = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    uchar header[8];
    qToBigEndian<quint32>(quint32(canonical.width()), header);
    qToBigEndian<quint32>(quint32(canonical.height()), header + 4);
    hash.addData(QByteArrayView(header, sizeof header));
    const qsizetype rowBytes = qsizetype(canonical.width()) * 4;
    for (int y = 0; y < canonical.height(); ++y)
        hash.addData(QByteArrayView(canonical.constScanLine(y), rowBytes));
    return QString::fromLatin1(hash.result().toHex());
}

QString unreadableImageFingerprint(const QSizeF& size) {
    return QStringLiteral("unreadable-") + shortestDoubleText(size.width()) + u'x' +
           shortestDoubleText(size.height());
}

namespace {

// The picture drawn whole into the thumbnail box, at up to ratio pixels a point.
QImage makeThumbnail(const QImage& picture, qreal ratio) {
    const qreal w = picture.width(), h = picture.height();
    const qreal scale = std::min({clipboardThumbnailBound / w, clipboardThumbnailBound / h, 1.0});
    // No more pixels than the picture has: a small picture stays sharp at its own size.
    const qreal pixelRatio = std::clamp(ratio, 1.0, 1 / scale);
    const QSize pixels(std::max(1, qRound(w * scale * pixelRatio)),
                       std::max(1, qRound(h * scale * pixelRatio)));
    QImage result = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (result.size() != pixels)
        result = result.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.setDevicePixelRatio(pixelRatio);
    return result;
}

} // namespace

std::optional<ClipboardImage> makeClipboardImage(const QByteArray& encoded, const QString& type,
                                                 qreal thumbnailRatio) {
    if (encoded.isEmpty() || (type == QLatin1String("image/png") && !pngChunksFit(encoded)))
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    restrictToType(reader, type);
    // The header alone tells the size: too many pixels are refused before any is decoded,
    // and pictures whose pixels are broken still count, as long as they have a size.
    QSize pixels = reader.size();
    if (pixels.isValid() && qint64(pixels.width()) * pixels.height() > clipboardImageMaxPixels)
        return std::nullopt;
    QImage decoded = reader.read();
    if (!pixels.isValid() && !decoded.isNull())
        pixels = decoded.size();
    if (!pixels.isValid() || pixels.width() <= 0)
        return std::nullopt;

    ClipboardImage image;
    image.encoded = encoded;
    image.type = type;
    image.size = QSizeF(pixels);
    if (decoded.isNull()) {
        image.fingerprint = unreadableImageFingerprint(image.size);
    } else {
        image.fingerprint = imageFingerprint(decoded);
        image.thumbnail = makeThumbnail(decoded, thumbnailRatio);
    }
    return image;
}

QImage ClipboardImage::decoded() const {
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    restrictToType(reader, type);
    return reader.read();
}
