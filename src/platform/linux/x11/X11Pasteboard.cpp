#include "platform/linux/x11/X11Pasteboard.h"

#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11Connection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

// Targets of the selection protocol itself, not content.
bool isProtocolTarget(const QString& format) {
    return format.isEmpty() || format == QLatin1String("TARGETS") ||
           format == QLatin1String("MULTIPLE") || format == QLatin1String("TIMESTAMP") ||
           format == QLatin1String("SAVE_TARGETS");
}

} // namespace

X11Pasteboard::X11Pasteboard(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {
    connection_ = qtX11Connection();
    if (connection_) {
        clipboardAtom_ = internAtom(connection_, "CLIPBOARD");
        if (clipboardAtom_ != XCB_ATOM_NONE) {
            auto reader = std::make_unique<X11ClipboardReader>();
            if (reader->isValid()) {
                reader_ = std::move(reader);
                connect(reader_.get(), &X11ClipboardReader::ownerChanged, this,
                        &X11Pasteboard::onOwnerChanged);
                return;
            }
        }
    }
    // Without a reader of our own, the clipboard is the process's own (offscreen) or Qt's.
    if (clipboard_)
        connect(clipboard_, &QClipboard::dataChanged, this, [this] { ++count_; });
}

X11Pasteboard::~X11Pasteboard() = default;

std::optional<quint32> X11Pasteboard::selectionOwner() const {
    if (!connection_)
        return std::nullopt;
    const auto reply = takeReply(xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, clipboardAtom_), nullptr));
    if (!reply)
        return std::nullopt;
    return reply->owner;
}

void X11Pasteboard::onOwnerChanged(quint32 owner) {
    // Our own writes were counted when they were made.
    if (owner != 0 && owner == ownWindow_)
        return;
    ++count_;
}

qint64 X11Pasteboard::changeCount() {
    return count_;
}

void X11Pasteboard::readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) {
    ++contentReads_;
    if (reader_) {
        reader_->read(request, count_, std::move(done));
        return;
    }
    PasteboardSnapshot snapshot;
    snapshot.changeCount = count_;
    if (const QMimeData* mime =
            clipboard_ ? clipboard_->mimeData(QClipboard::Clipboard) : nullptr) {
        for (const QString& format : mime->formats())
            if (!isProtocolTarget(format) && !snapshot.types.contains(format))
                snapshot.types << format;
        for (const PasteboardWant& want : request.wanted) {
            if (!snapshot.types.contains(want.type) || snapshot.data.contains(want.type))
                continue;
            QByteArray bytes = want.type == PasteboardType::plainText ? mime->text().toUtf8()
                                                                      : mime->data(want.type);
            if (bytes.size() > want.maxBytes) {
                snapshot.offeredSizes.insert(want.type, bytes.size());
                bytes.truncate(want.maxBytes);
                snapshot.truncated.insert(want.type);
            }
            snapshot.data.insert(want.type, bytes);
        }
    }
    QMetaObject::invokeMethod(
        this, [done = std::move(done), snapshot] { done(snapshot); }, Qt::QueuedConnection);
}

void X11Pasteboard::clearAndWrite(const PasteboardContents& contents) {
    if (!clipboard_)
        return;
    if (contents.isEmpty()) {
        clipboard_->clear(QClipboard::Clipboard);
    } else {
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
        clipboard_->setMimeData(mime, QClipboard::Clipboard);
    }
    if (reader_) {
        // Counted here, by the time this returns; the owner event that follows is ours.
        ++count_;
        ownWindow_ = selectionOwner().value_or(0);
    }
}
