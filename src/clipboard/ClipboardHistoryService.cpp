#include "clipboard/ClipboardHistoryService.h"

#include "common/Services.h"
#include "common/Texts.h"
#include "platform/Pasteboard.h"
#include "platform/RunningApplications.h"
#include "platform/Workspace.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QTextBoundaryFinder>

ClipboardHistoryService::ClipboardHistoryService(Services& services)
    : services_(services), pasteboard_(services.pasteboard()),
      lastChangeCount_(pasteboard_.changeCount()) {}

ClipboardHistoryService::~ClipboardHistoryService() = default;

void ClipboardHistoryService::start() {
    if (timer_)
        return;
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(int(pollInterval * 1000));
    // The timer dies with the service, and the connection with it: no tick after that.
    connect(timer_.get(), &QTimer::timeout, this, &ClipboardHistoryService::checkPasteboard);
    timer_->start();
}

void ClipboardHistoryService::checkPasteboard() {
    const qint64 count = pasteboard_.changeCount();
    if (count == lastChangeCount_)
        return;
    // Before reading: a change that yields nothing (or hangs its owner) is not read again.
    lastChangeCount_ = count;
    // Asked first: reading the content may take a while, and the copy was made in the
    // application that was in front when the change showed.
    std::optional<RunningApplication> frontmost;
    if (const auto& apps = services_.platform().runningApplications)
        frontmost = apps->frontmostApplication();
    std::optional<ClipboardItem> item = captureItem(frontmost);
    if (!item)
        return;
    const QString key = contentKey(*item);
    items_.removeIf([&](const ClipboardItem& old) { return contentKey(old) == key; });
    items_.prepend(std::move(*item));
    if (items_.size() > maxItems)
        items_.resize(maxItems);
}

std::optional<ClipboardItem>
ClipboardHistoryService::captureItem(const std::optional<RunningApplication>& app) {
    const QStringList types = pasteboard_.types();
    if (types.isEmpty())
        return std::nullopt; // the owner quit, or offers nothing but the protocol
    // A password copied from a password manager must not sit in a menu.
    if (pasteboard_.isMarkedSecret())
        return std::nullopt;

    std::optional<ClipboardContentKind> content;
    if (pasteboardTypesInclude(types, PasteboardKind::fileURLs)) {
        QList<QUrl> files;
        for (const QUrl& url : pasteboard_.urls().value_or(QList<QUrl>()))
            if (url.isLocalFile())
                files << url;
        if (!files.isEmpty())
            content = ClipboardFiles{files};
    }
    if (!content && pasteboardTypesInclude(types, PasteboardKind::richText)) {
        if (const auto bytes = pasteboard_.dataForKind(PasteboardKind::richText)) {
            RtfDocument document = parseRtf(*bytes);
            QString text = document.plainText();
            if (document.valid && !text.isEmpty())
                content = ClipboardRichText{*bytes, std::move(document), std::move(text)};
        }
    }
    if (!content && pasteboardTypesInclude(types, PasteboardKind::plainText)) {
        const std::optional<QString> text = pasteboard_.string();
        if (text && !text->isEmpty())
            content = ClipboardPlainText{*text};
    }
    for (PasteboardKind kind : {PasteboardKind::tiff, PasteboardKind::png}) {
        if (content || !pasteboardTypesInclude(types, kind))
            continue;
        const QString type = pasteboardTypeNames(kind).first();
        if (const auto bytes = pasteboard_.dataForType(type))
            if (auto image = makeClipboardImage(*bytes, type))
                content = std::move(*image);
    }
    if (!content)
        return std::nullopt;

    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = std::move(*content);
    item.date = QDateTime::currentDateTime();
    if (app) {
        item.sourceAppName = app->localizedName;
        item.sourceBundleIdentifier = app->bundleIdentifier;
        if (!app->iconName.isEmpty() && services_.platform().workspace) {
            const QIcon icon = services_.workspace().iconForName(app->iconName);
            if (!icon.isNull())
                item.sourceAppIcon = icon;
        }
    }
    return item;
}

void ClipboardHistoryService::paste(const ClipboardItem& item) {
    PasteboardContents contents;
    if (const auto* plain = std::get_if<ClipboardPlainText>(&item.content)) {
        contents.text = plain->text;
    } else if (const auto* rich = std::get_if<ClipboardRichText>(&item.content)) {
        // The bytes as they were copied: nothing is lost to a reader's round trip.
        if (!rich->rtf.isEmpty())
            contents.data.append({PasteboardType::rtf, rich->rtf});
        contents.text = rich->plainFallback;
    } else if (const auto* image = std::get_if<ClipboardImage>(&item.content)) {
        if (!image->encoded.isEmpty()) {
            contents.data.append({image->type, image->encoded});
            // Programs on this platform paste pictures as PNG; add it when the copy was not.
            if (image->type != PasteboardType::png) {
                const QImage decoded = image->decoded();
                QByteArray png;
                QBuffer out(&png);
                out.open(QIODevice::WriteOnly);
                if (!decoded.isNull() && QImageWriter(&out, "png").write(decoded))
                    contents.data.append({PasteboardType::png, png});
            }
        }
    } else if (const auto* files = std::get_if<ClipboardFiles>(&item.content)) {
        contents.urls = files->urls;
    }
    pasteboard_.clearAndWrite(contents);
    // Our own write is not a copy to capture.
    lastChangeCount_ = pasteboard_.changeCount();
}

namespace {

// Unicode's line terminators, "\r\n" included by its "\r".
bool isNewline(QChar c) {
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case 0x000B:
    case 0x000C:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QString fileNameOf(const QUrl& url) {
    const QString path = url.toLocalFile();
    if (path.isEmpty())
        return url.fileName();
    const QString clean = QDir::cleanPath(path);
    const QString name = clean.section(u'/', -1);
    return name.isEmpty() ? clean : name;
}

QString urlPath(const QUrl& url) {
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

QString clipboardPreviewText(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && !isNewline(trimmed[end]))
        ++end;
    const QString line = trimmed.left(end);

    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    qsizetype cut57 = -1;
    int count = 0;
    while (graphemes.toNextBoundary() != -1) {
        ++count;
        if (count == 57)
            cut57 = graphemes.position();
        if (count > 60)
            return line.left(cut57) + QChar(0x2026);
    }
    return line;
}

QString ClipboardHistoryService::displayTitle(const ClipboardItem& item) const {
    if (const auto* plain = std::get_if<ClipboardPlainText>(&item.content))
        return clipboardPreviewText(plain->text);
    if (const auto* rich = std::get_if<ClipboardRichText>(&item.content))
        return clipboardPreviewText(rich->plainFallback);
    if (const auto* image = std::get_if<ClipboardImage>(&item.content))
        return L("strip.clipboard.imagePreview")
            .arg(QString::number(qint64(image->size.width())),
                 QString::number(qint64(image->size.height())));
    const auto& files = std::get<ClipboardFiles>(item.content);
    if (files.urls.size() == 1)
        return fileNameOf(files.urls.first());
    return L("strip.clipboard.filesPreview").arg(QString::number(files.urls.size()));
}

QString ClipboardHistoryService::contentKey(const ClipboardItem& item) {
    if (const auto* plain = std::get_if<ClipboardPlainText>(&item.content))
        return QStringLiteral("text:") + plain->text;
    if (const auto* rich = std::get_if<ClipboardRichText>(&item.content))
        return QStringLiteral("rtf:") + rich->plainFallback;
    if (const auto* image = std::get_if<ClipboardImage>(&item.content))
        return QStringLiteral("img:") + image->fingerprint;
    QStringList paths;
    for (const QUrl& url : std::get<ClipboardFiles>(item.content).urls)
        paths << urlPath(url);
    return QStringLiteral("files:") + paths.join(u',');
}
