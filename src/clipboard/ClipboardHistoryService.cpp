#include "clipboard/ClipboardHistoryService.h"

#include "common/Texts.h"
#include "platform/FreedMemory.h"
#include "platform/Pasteboard.h"
#include "platform/RunningApplications.h"
#include "platform/Workspace.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLocale>
#include <QPixmap>
#include <QPointer>
#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace {

// The markers whose values say whether a copy is secret.
const char* const kSecretMarkers[] = {"x-kde-passwordManagerHint", "CanIncludeInClipboardHistory"};
// The markers' own values are no content to recognise a secret by.
bool isSecretMarker(const QString& type) {
    return std::any_of(std::begin(kSecretMarkers), std::end(kSecretMarkers),
                       [&](const char* marker) { return type == QLatin1String(marker); });
}
// Enough for a few dozen secrets; older ones are forgotten first.
constexpr size_t kSecretDigests = 64;
// Clipboard managers take over at once; a copy after this long is the user's own.
constexpr qint64 kUnreadSecretMs = 5000;

} // namespace

ClipboardHistoryService::ClipboardHistoryService(RunningApplications& runningApplications,
                                                 Workspace& workspace, Pasteboard& pasteboard)
    : runningApplications_(runningApplications), workspace_(workspace), pasteboard_(pasteboard),
      lastChangeCount_(pasteboard.changeCount()) {
    decoder_.setMaxThreadCount(1);
    decoder_.setObjectName(QStringLiteral("ClipboardDecoder"));
}

ClipboardHistoryService::~ClipboardHistoryService() {
    decoder_.clear();
    decoder_.waitForDone();
}

void ClipboardHistoryService::start() {
    if (timer_)
        return;
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(int(pollInterval * 1000));
    // The timer dies with the service, and the connection with it: no tick after that.
    connect(timer_.get(), &QTimer::timeout, this, &ClipboardHistoryService::checkPasteboard);
    timer_->start();
}

PasteboardReadRequest ClipboardHistoryService::readRequest() {
    PasteboardReadRequest request;
    // The markers first: a secret is known before anything else arrives. A byte or four
    // is all they ever hold.
    for (const char* marker : kSecretMarkers)
        request.wanted.append({QString::fromLatin1(marker), 64});
    for (const QString& type : pasteboardTypeNames(PasteboardKind::fileURLs))
        request.wanted.append({type, maxFileListBytes});
    for (const QString& type : pasteboardTypeNames(PasteboardKind::richText))
        request.wanted.append({type, maxRichTextBytes});
    request.wanted.append({PasteboardType::plainText, maxTextBytes});
    for (PasteboardKind kind : {PasteboardKind::tiff, PasteboardKind::png})
        for (const QString& type : pasteboardTypeNames(kind))
            request.wanted.append({type, maxImageBytes});
    return request;
}

void ClipboardHistoryService::checkPasteboard() {
    // One read at a time: a stuck owner costs one timeout, and the tick after it reads the
    // newest content at once.
    if (reading_)
        return;
    const qint64 count = pasteboard_.changeCount();
    if (count == lastChangeCount_)
        return;
    // Before reading: a change that yields nothing (or hangs its owner) is not read again.
    lastChangeCount_ = count;
    // Asked first: the copy was made in the application that was in front when the change
    // showed, not in one that comes forward while the content arrives.
    Pending pending;
    pending.sequence = nextSequence_++;
    pending.app = runningApplications_.frontmostApplication();
    pending.date = QDateTime::currentDateTime();
    pending_.push_back(std::move(pending));
    reading_ = true;
    QPointer<ClipboardHistoryService> self(this);
    pasteboard_.readSnapshot(readRequest(), [self, sequence = pending_.back().sequence](
                                                const PasteboardSnapshot& snapshot) {
        if (self)
            self->snapshotArrived(sequence, snapshot);
    });
}

void ClipboardHistoryService::snapshotArrived(quint64 sequence,
                                              const PasteboardSnapshot& snapshot) {
    reading_ = false;
    // The read may have met a later change than the one that started it: that one is read.
    // One older than our own last write is not a copy of anyone's.
    const bool stale = snapshot.changeCount < lastChangeCount_;
    lastChangeCount_ = std::max(lastChangeCount_, snapshot.changeCount);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const Pending& p) { return p.sequence == sequence; });
    if (it == pending_.end())
        return; // the history was replaced meanwhile
    if (stale)
        finish(sequence, std::nullopt);
    else
        capture(*it, snapshot);
}

QByteArray ClipboardHistoryService::secretDigest(const QByteArray& bytes) const {
    return QCryptographicHash::hash(secretSalt_ + bytes, QCryptographicHash::Sha256);
}

void ClipboardHistoryService::rememberSecret(const PasteboardSnapshot& snapshot) {
    if (secretSalt_.isEmpty()) {
        secretSalt_.resize(16);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secretSalt_.data()), 4);
    }
    bool read = false;
    for (auto it = snapshot.data.cbegin(); it != snapshot.data.cend(); ++it) {
        if (it->isEmpty() || isSecretMarker(it.key()))
            continue;
        read = true;
        secretDigests_.push_back(secretDigest(*it));
        if (secretDigests_.size() > kSecretDigests)
            secretDigests_.pop_front();
    }
    unreadSecretTypes_ = read ? QStringList() : snapshot.types;
    unreadSecretDeadline_.setRemainingTime(read ? 0 : kUnreadSecretMs);
}

bool ClipboardHistoryService::repeatsSecret(const PasteboardSnapshot& snapshot) {
    // Only the one copy right after an unread secret can be its takeover, and a clipboard
    // manager's takeover drops the marker: a copy that still offers one is its owner's own.
    const QStringList unread = std::exchange(unreadSecretTypes_, {});
    if (!unread.isEmpty() && !unreadSecretDeadline_.hasExpired() &&
        std::none_of(snapshot.types.cbegin(), snapshot.types.cend(), isSecretMarker) &&
        std::all_of(snapshot.types.cbegin(), snapshot.types.cend(),
                    [&](const QString& type) { return unread.contains(type); }))
        return true;
    for (auto it = snapshot.data.cbegin(); it != snapshot.data.cend(); ++it) {
        if (it->isEmpty() || isSecretMarker(it.key()))
            continue;
        if (std::find(secretDigests_.cbegin(), secretDigests_.cend(), secretDigest(*it)) !=
            secretDigests_.cend())
            return true;
    }
    return false;
}

namespace {

// What is left to decide once the cheap kinds are ruled out, best first: rich text, else the
// plain text beside it, else the first picture that decodes.
struct Candidates {
    std::optional<QByteArray> rtf;
    std::optional<ClipboardPlainText> text;
    QList<std::pair<QString, QByteArray>> pictures;
    qreal ratio = 1.0;
};

// Runs on the service's decoder thread: a large RTF or picture takes seconds.
std::optional<ClipboardContentKind> decode(const Candidates& candidates) {
    if (candidates.rtf) {
        RtfDocument document = parseRtf(*candidates.rtf);
        QString text = document.plainText();
        if (document.valid && !text.isEmpty())
            return ClipboardRichText{*candidates.rtf, std::move(document), std::move(text)};
    }
    if (candidates.text)
        return *candidates.text;
    for (const auto& [type, bytes] : candidates.pictures)
        if (auto image = makeClipboardImage(bytes, type, candidates.ratio))
            return ClipboardContentKind(std::move(*image));
    return std::nullopt;
}

} // namespace

void ClipboardHistoryService::capture(Pending& pending, const PasteboardSnapshot& snapshot) {
    const quint64 sequence = pending.sequence;
    const QStringList& types = snapshot.types;
    // Nothing offered (the owner quit, offers only the protocol, or did not answer), or a
    // password from a password manager, which must not sit in a menu, nor return in the copy a
    // clipboard manager keeps once the password manager is gone.
    if (types.isEmpty())
        return finish(sequence, std::nullopt);
    if (snapshot.isMarkedSecret()) {
        rememberSecret(snapshot);
        return finish(sequence, std::nullopt);
    }
    if (repeatsSecret(snapshot))
        return finish(sequence, std::nullopt);

    // Cut content is kept only where a cut still means what was copied: a text's beginning.
    if (pasteboardTypesInclude(types, PasteboardKind::fileURLs) &&
        !snapshot.isTruncated(PasteboardKind::fileURLs)) {
        QList<QUrl> files;
        for (const QUrl& url : snapshot.urls().value_or(QList<QUrl>()))
            if (url.isLocalFile())
                files << url;
        if (!files.isEmpty())
            return finish(sequence, ClipboardFiles{files});
    }
    Candidates candidates;
    if (pasteboardTypesInclude(types, PasteboardKind::richText) &&
        !snapshot.isTruncated(PasteboardKind::richText))
        candidates.rtf = snapshot.dataForKind(PasteboardKind::richText);
    if (pasteboardTypesInclude(types, PasteboardKind::plainText)) {
        const std::optional<QString> text = snapshot.string();
        if (text && !text->isEmpty())
            candidates.text =
                ClipboardPlainText{*text, snapshot.truncated.contains(PasteboardType::plainText),
                                   snapshot.offeredSizes.value(PasteboardType::plainText)};
    }
    if (!candidates.rtf && candidates.text)
        return finish(sequence, std::move(*candidates.text));
    for (PasteboardKind kind : {PasteboardKind::tiff, PasteboardKind::png}) {
        if (candidates.text || !pasteboardTypesInclude(types, kind) || snapshot.isTruncated(kind))
            continue;
        if (auto bytes = snapshot.dataForKind(kind))
            candidates.pictures.append({pasteboardTypeNames(kind).first(), std::move(*bytes)});
    }
    if (!candidates.rtf && candidates.pictures.isEmpty())
        return finish(sequence, std::nullopt);
    // The thumbnail is made for the sharpest screen there is now.
    candidates.ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPointer<ClipboardHistoryService> self(this);
    decoder_.start([self, sequence, candidates = std::move(candidates)] {
        std::optional<ClipboardContentKind> content = decode(candidates);
        QMetaObject::invokeMethod(
            self.data(),
            [self, sequence, content = std::move(content)]() mutable {
                if (self)
                    self->finish(sequence, std::move(content));
            },
            Qt::QueuedConnection);
    });
}

void ClipboardHistoryService::finish(quint64 sequence,
                                     std::optional<ClipboardContentKind> content) {
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const Pending& p) { return p.sequence == sequence; });
    if (it == pending_.end())
        return;
    it->done = true;
    it->content = std::move(content);
    bool pictureDecoded = false;
    // Copies enter in the order they were made: a text waits for a picture copied before it.
    while (!pending_.empty() && pending_.front().done) {
        Pending front = std::move(pending_.front());
        pending_.pop_front();
        if (!front.content)
            continue;
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.content = std::move(*front.content);
        if (auto* image = std::get_if<ClipboardImage>(&item.content)) {
            pictureDecoded = true;
            if (!image->thumbnail.isNull())
                image->thumbnailIcon = QIcon(QPixmap::fromImage(image->thumbnail));
        }
        item.date = front.date;
        if (front.app) {
            item.sourceAppName = front.app->localizedName;
            item.sourceBundleIdentifier = front.app->bundleIdentifier;
            if (!front.app->iconName.isEmpty()) {
                const QIcon icon = workspace_.iconForName(front.app->iconName);
                if (!icon.isNull())
                    item.sourceAppIcon = icon;
            }
        }
        insert(std::move(item));
    }
    // A decoded picture leaves its reading and decoding buffers behind: given back once the
    // burst of copies is over.
    if (pictureDecoded && pending_.empty() && !reading_)
        returnFreedMemorySoon();
    Q_EMIT captureFinished();
}

void ClipboardHistoryService::insert(ClipboardItem item) {
    const QString key = contentKey(item);
    const qsizetype pictures = pictureCount();
    items_.removeIf([&](const ClipboardItem& old) { return contentKey(old) == key; });
    items_.prepend(std::move(item));
    if (items_.size() > maxItems)
        items_.resize(maxItems);
    if (pictureCount() < pictures)
        returnFreedMemorySoon();
}

void ClipboardHistoryService::setItems(QList<ClipboardItem> items) {
    const qsizetype pictures = pictureCount();
    items_ = std::move(items);
    pending_.clear();
    if (pictureCount() < pictures)
        returnFreedMemorySoon();
}

qsizetype ClipboardHistoryService::pictureCount() const {
    return std::count_if(items_.begin(), items_.end(), [](const ClipboardItem& item) {
        return std::holds_alternative<ClipboardImage>(item.content);
    });
}

void ClipboardHistoryService::returnFreedMemorySoon() {
    // After the decoding queued before it, so that what a burst of copies freed goes too.
    decoder_.start(returnFreedMemory);
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

namespace {

// Where the first line of text ends: at the first of Unicode's line terminators ("\r\n"
// included by its "\r"), each looked for only before the earliest found so far.
qsizetype firstLineEnd(QStringView text) {
    qsizetype end = text.size();
    for (char16_t terminator : {u'\n', u'\r', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029'}) {
        const qsizetype at = text.left(end).indexOf(QChar(terminator));
        if (at >= 0)
            end = at;
    }
    return end;
}

// The preview of a line: whole up to 60 characters, else 57 and "…". When the line is only
// the head of a longer one, none unless the head alone decides it.
std::optional<QString> previewOfLine(const QString& line, bool whole) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    qsizetype cut57 = -1;
    int count = 0;
    while (graphemes.toNextBoundary() != -1) {
        ++count;
        if (count == 57)
            cut57 = graphemes.position();
        // The last boundary of a head may fall inside a character: only a 62nd proves a 61st.
        if (count > (whole ? 60 : 61))
            return line.left(cut57) + QChar(0x2026);
    }
    return whole ? std::optional<QString>(line) : std::nullopt;
}

} // namespace

namespace {

// Blanks made visible, so that a copy of nothing else is a row one can see and tell apart.
QString visibleBlanks(QStringView text) {
    constexpr qsizetype kShown = 20;
    QString marks;
    for (const QChar c : text.left(kShown)) {
        if (c == u'\t')
            marks += QChar(0x21E5); // ⇥
        else if (c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar(0x2028) ||
                 c == QChar(0x2029) || c == QChar(0x85))
            marks += QChar(0x21B5); // ↵
        else
            marks += QChar(0x2423); // ␣
    }
    if (text.size() > kShown)
        marks += QChar(0x2026);
    return marks;
}

// A size in megabytes to a tenth, rounded up: a text a little over the limit reads as more.
QString megabytes(qint64 bytes) {
    const qint64 tenths = (bytes * 10 + (1 << 20) - 1) / (1 << 20);
    return L("strip.clipboard.megabytes")
        .arg(QLocale().toString(double(tenths) / 10, 'f', QLocale::FloatingPointShortest));
}

} // namespace

QString clipboardPreviewText(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    const QStringView trimmed = QStringView(text).mid(begin, end - begin);
    if (trimmed.isEmpty())
        return visibleBlanks(text);
    // A copied line can be a megabyte, and finding character boundaries costs as much as the
    // text is long: the preview is looked for in heads of growing size, enough for ordinary
    // text and for emoji sequences; only a line whose first 61 characters are longer still
    // (marks piled on marks) is searched whole.
    for (qsizetype size : {256, 4096}) {
        const QStringView head = trimmed.left(size);
        const qsizetype headLineEnd = firstLineEnd(head);
        const bool whole = headLineEnd < head.size() || head.size() == trimmed.size();
        if (auto preview = previewOfLine(head.left(headLineEnd).toString(), whole))
            return *preview;
    }
    return previewOfLine(trimmed.left(firstLineEnd(trimmed)).toString(), true).value_or(QString());
}

QString ClipboardHistoryService::displayTitle(const ClipboardItem& item) const {
    if (const auto* plain = std::get_if<ClipboardPlainText>(&item.content)) {
        const QString preview = clipboardPreviewText(plain->text);
        if (!plain->truncated)
            return preview;
        // The paste brings only what was kept: the title says how much of how much.
        const qint64 kept = maxTextBytes;
        if (plain->offeredSize > kept)
            return L("strip.clipboard.truncatedPreviewOf")
                .arg(preview, megabytes(kept), megabytes(plain->offeredSize));
        return L("strip.clipboard.truncatedPreview").arg(preview, megabytes(kept));
    }
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
