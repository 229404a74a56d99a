#include "clipboard/ClipboardItem.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QPainter>
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

std::optional<ClipboardImage> makeClipboardImage(const QByteArray& encoded, const QString& type) {
    if (encoded.isEmpty())
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    restrictToType(reader, type);
    // The header alone tells the size; pictures whose pixels are broken still count, as
    // long as they have one.
    QSize pixels = reader.size();
    QImage decoded = reader.read();
    if (!pixels.isValid() && !decoded.isNull())
        pixels = decoded.size();
    if (!pixels.isValid() || pixels.width() <= 0)
        return std::nullopt;

    ClipboardImage image;
    image.encoded = encoded;
    image.type = type;
    image.size = QSizeF(pixels);
    image.fingerprint =
        decoded.isNull() ? unreadableImageFingerprint(image.size) : imageFingerprint(decoded);
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

QImage ClipboardImage::thumbnail(const QSizeF& bound) const {
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    const qreal scale =
        std::min({bound.width() / size.width(), bound.height() / size.height(), qreal(1)});
    const QSize target(std::max(1, qRound(size.width() * scale)),
                       std::max(1, qRound(size.height() * scale)));
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    restrictToType(reader, type);
    // The reader scales a one-bit picture to black and white, losing its palette's colours;
    // the painter below scales those properly.
    const QImage::Format format = reader.imageFormat();
    if (format != QImage::Format_Mono && format != QImage::Format_MonoLSB &&
        format != QImage::Format_Indexed8)
        reader.setScaledSize(target);
    const QImage picture = reader.read();
    if (picture.isNull())
        return {};
    QImage result(target, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), target), picture);
    return result;
}
