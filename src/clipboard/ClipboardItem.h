#pragma once

#include "common/RtfReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>
#include <variant>

struct ClipboardPlainText {
    QString text;
};

// Rich text as copied: the RTF bytes themselves (written back unchanged on paste), what
// they say as styled runs, and their plain text.
struct ClipboardRichText {
    QByteArray rtf;
    RtfDocument document;
    QString plainFallback;
};

// A copied picture, kept as the compressed bytes it came in: twenty screenshots would
// otherwise hold hundreds of megabytes of pixels. It is decoded again only to draw.
struct ClipboardImage {
    QByteArray encoded;
    QString type;        // the pasteboard type the bytes came as ("image/png", "image/tiff")
    QSizeF size;         // in pixels, which is what this platform calls points
    QString fingerprint; // computed once, when the picture was captured

    // The full picture; null when it does not decode.
    QImage decoded() const;
    // The picture drawn whole into an image of (width × s, height × s), where
    // s = min(bound.width / width, bound.height / height, 1). Null when it does not decode.
    QImage thumbnail(const QSizeF& bound) const;
};

struct ClipboardFiles {
    QList<QUrl> urls; // file URLs in pasteboard order, never empty
};

// What was copied, in this case order: plainText, richText, image, files.
using ClipboardContentKind =
    std::variant<ClipboardPlainText, ClipboardRichText, ClipboardImage, ClipboardFiles>;

struct ClipboardItem {
    QUuid id; // the item's identity, fresh for every capture
    ClipboardContentKind content;
    QDateTime date; // when the change was noticed
    std::optional<QString> sourceAppName;
    std::optional<QString> sourceBundleIdentifier;
    std::optional<QIcon> sourceAppIcon;
};

// Reads a picture's header and pixels once: its size and fingerprint. None when the bytes
// are not a picture of positive width.
std::optional<ClipboardImage> makeClipboardImage(const QByteArray& encoded, const QString& type);

// SHA-256, as 64 lower-case hex digits, of the picture's canonical bytes: its width and
// height (32-bit big-endian) followed by its pixels as premultiplied RGBA, 8 bits a channel.
// The same picture offered as PNG by one program and as TIFF by another gives one
// fingerprint.
QString imageFingerprint(const QImage& image);
// The fingerprint of a picture whose pixels cannot be decoded: "unreadable-100.0x50.0".
QString unreadableImageFingerprint(const QSizeF& size);
