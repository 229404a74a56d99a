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
    bool truncated = false; // the copy was longer and is kept cut to the limit
    qint64 offeredSize = 0; // of a cut copy, its whole size in bytes when known; else 0
};

// Rich text as copied: the RTF bytes themselves (written back unchanged on paste), what
// they say as styled runs, and their plain text.
struct ClipboardRichText {
    QByteArray rtf;
    RtfDocument document;
    QString plainFallback;
};

// A copied picture, kept as the compressed bytes it came in (twenty screenshots would
// otherwise hold hundreds of megabytes of pixels) and its menu thumbnail, both made once at
// capture: the menu never decodes the picture.
struct ClipboardImage {
    QByteArray encoded;
    QString type;        // the pasteboard type the bytes came as ("image/png", "image/tiff")
    QSizeF size;         // in pixels, which is what this platform calls points
    QString fingerprint; // computed once, when the picture was captured
    // The picture drawn whole into (width × s, height × s) points, where
    // s = min(72 / width, 72 / height, 1), with as many pixels as the screen's ratio asks
    // (never more than the picture has). Null when the pixels do not decode.
    QImage thumbnail;
    // The same, ready for a menu; made on the main thread when the item enters the history.
    QIcon thumbnailIcon;

    // The full picture; null when it does not decode.
    QImage decoded() const;
};

// Pictures with more pixels than this are never decoded: a few hundred bytes of PNG can
// announce gigabytes of pixels.
inline constexpr qint64 clipboardImageMaxPixels = 40'000'000;
// The box a thumbnail fits in, in points.
inline constexpr int clipboardThumbnailBound = 72;

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

// Reads a picture's header and pixels once: its size, fingerprint and thumbnail (at the given
// pixel ratio). None when the bytes are not a picture of positive width or announce more than
// clipboardImageMaxPixels. Takes a while for a large picture: any thread.
std::optional<ClipboardImage> makeClipboardImage(const QByteArray& encoded, const QString& type,
                                                 qreal thumbnailRatio = 1);

// SHA-256, as 64 lower-case hex digits, of the picture's canonical bytes: its width and
// height (32-bit big-endian) followed by its pixels as premultiplied RGBA, 8 bits a channel.
// The same picture offered as PNG by one program and as TIFF by another gives one
// fingerprint.
QString imageFingerprint(const QImage& image);
// The fingerprint of a picture whose pixels cannot be decoded: "unreadable-100.0x50.0".
QString unreadableImageFingerprint(const QSizeF& size);
