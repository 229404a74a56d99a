#include "platform/linux/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

constexpr int kSignalGraceMs = 500;

// Targets of the selection protocol itself, not content.
bool isProtocolTarget(const QString& format) {
    return format.isEmpty() || format == QLatin1String("TARGETS") ||
           format == QLatin1String("MULTIPLE") || format == QLatin1String("TIMESTAMP") ||
           format == QLatin1String("SAVE_TARGETS");
}

xcb_connection_t* x11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

QtPasteboard::QtPasteboard(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {
    if (clipboard_)
        connect(clipboard_, &QClipboard::dataChanged, this, &QtPasteboard::onDataChanged);

    connection_ = x11Connection();
    if (!connection_)
        return;
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
    if (!atom) {
        connection_ = nullptr;
        return;
    }
    clipboardAtom_ = atom->atom;
    std::free(atom);
    lastOwner_ = selectionOwner().value_or(0);
}

QtPasteboard::~QtPasteboard() = default;

std::optional<quint32> QtPasteboard::selectionOwner() const {
    if (!connection_)
        return std::nullopt;
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, clipboardAtom_), nullptr);
    if (!reply)
        return std::nullopt;
    const quint32 owner = reply->owner;
    std::free(reply);
    return owner;
}

void QtPasteboard::noteChange() {
    ++count_;
    types_.reset();
    data_.clear();
    text_.reset();
    urls_.reset();
}

void QtPasteboard::onDataChanged() {
    unsignalledOwner_.reset();
    if (const auto owner = selectionOwner())
        lastOwner_ = *owner;
    noteChange();
}

void QtPasteboard::checkOwner() {
    const std::optional<quint32> owner = selectionOwner();
    if (!owner || *owner == lastOwner_) {
        unsignalledOwner_.reset();
        return;
    }
    // Qt's signal normally arrives within milliseconds of a new owner; counting the owner
    // at once too would count one write twice. Count it here only when Qt has not told for
    // a while.
    if (unsignalledOwner_ != owner) {
        unsignalledOwner_ = owner;
        unsignalledSince_.start();
        return;
    }
    if (!unsignalledSince_.hasExpired(kSignalGraceMs))
        return;
    unsignalledOwner_.reset();
    lastOwner_ = *owner;
    noteChange();
}

qint64 QtPasteboard::changeCount() {
    if (connection_)
        checkOwner();
    return count_;
}

QStringList QtPasteboard::types() {
    if (types_)
        return *types_;
    QStringList offered;
    if (const QMimeData* mime =
            clipboard_ ? clipboard_->mimeData(QClipboard::Clipboard) : nullptr) {
        ++contentReads_;
        const QStringList formats = mime->formats();
        for (const QString& format : formats)
            if (!isProtocolTarget(format) && !offered.contains(format))
                offered << format;
    }
    types_ = offered;
    return offered;
}

std::optional<QByteArray> QtPasteboard::dataForType(const QString& type) {
    if (auto it = data_.constFind(type); it != data_.constEnd())
        return *it;
    std::optional<QByteArray> result;
    if (types().contains(type)) {
        if (const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard)) {
            ++contentReads_;
            QByteArray bytes = mime->data(type);
            // Empty bytes are what a failed or timed-out transfer gives.
            if (!bytes.isEmpty())
                result = std::move(bytes);
        }
    }
    data_.insert(type, result);
    return result;
}

std::optional<QString> QtPasteboard::string() {
    if (text_)
        return *text_;
    std::optional<QString> result;
    if (types().contains(PasteboardType::plainText)) {
        if (const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard)) {
            ++contentReads_;
            // Qt decodes the text from whichever encoding the owner offers.
            const QString text = mime->text();
            if (!text.isNull())
                result = text;
        }
    }
    text_ = result;
    return result;
}

std::optional<QList<QUrl>> QtPasteboard::urls() {
    if (urls_)
        return *urls_;
    std::optional<QList<QUrl>> result;
    if (types().contains(PasteboardType::uriList)) {
        if (const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard)) {
            ++contentReads_;
            const QList<QUrl> urls = mime->urls();
            if (!urls.isEmpty())
                result = urls;
        }
    }
    urls_ = result;
    return result;
}

void QtPasteboard::clearAndWrite(const PasteboardContents& contents) {
    if (!clipboard_)
        return;
    if (contents.isEmpty()) {
        clipboard_->clear(QClipboard::Clipboard);
        return;
    }
    auto* mime = new QMimeData;
    if (!contents.urls.isEmpty()) {
        mime->setUrls(contents.urls);
        bool allFiles = true;
        QByteArray copied("copy");
        for (const QUrl& url : contents.urls) {
            allFiles = allFiles && url.isLocalFile();
            copied += '\n' + url.toEncoded();
        }
        if (allFiles)
            mime->setData(PasteboardType::gnomeCopiedFiles, copied);
    }
    for (const auto& [type, bytes] : contents.data)
        mime->setData(type, bytes);
    if (contents.text)
        mime->setText(*contents.text);
    // Qt takes ownership and announces the change at once, so the count has moved on
    // when this returns.
    clipboard_->setMimeData(mime, QClipboard::Clipboard);
}
