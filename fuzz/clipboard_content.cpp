// Feeds arbitrary bytes to what the clipboard history makes of copied content: a file list
// (text/uri-list), a PNG or TIFF picture, or text for the menu's preview. The first byte
// chooses which.
#include "clipboard/ClipboardHistoryService.h"
#include "clipboard/ClipboardItem.h"

#include <QMimeData>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    ClipboardItem item;
    switch (data[0] % 4) {
    case 0: {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), bytes);
        ClipboardFiles files;
        for (const QUrl& url : mime.urls())
            if (url.isLocalFile())
                files.urls << url;
        if (files.urls.isEmpty())
            return 0;
        item.content = files;
        break;
    }
    case 1:
    case 2: {
        auto image = makeClipboardImage(bytes, data[0] % 4 == 1 ? QStringLiteral("image/png")
                                                                : QStringLiteral("image/tiff"));
        if (!image)
            return 0;
        if (image->size.width() <= 0 || image->fingerprint.isEmpty())
            __builtin_trap();
        if (image->thumbnail.width() > clipboardThumbnailBound ||
            image->thumbnail.height() > clipboardThumbnailBound)
            __builtin_trap(); // made at ratio 1: never beyond the menu's box
        item.content = std::move(*image);
        break;
    }
    default: {
        const QString text = QString::fromUtf8(bytes);
        (void)clipboardPreviewText(text);
        item.content = ClipboardPlainText{text};
        break;
    }
    }
    if (ClipboardHistoryService::contentKey(item).isEmpty())
        __builtin_trap(); // every item has a key to find its duplicates by
    return 0;
}
