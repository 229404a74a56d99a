#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QClipboard;
class X11ClipboardReader;
struct xcb_connection_t;

// The pasteboard: written through QClipboard's clipboard mode; read, under X11, by a reader
// with its own connection and thread, since QClipboard's reads block the main thread for up
// to five seconds when the owner is stuck. Changes are counted from XFixes owner events there,
// and from Qt's change signal elsewhere (offscreen, where the clipboard lives in the process
// and cannot hang).
class X11Pasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    // The application's clipboard unless another is given. Main thread.
    explicit X11Pasteboard(QClipboard* clipboard = nullptr);
    ~X11Pasteboard() override;

    qint64 changeCount() override;
    void readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) override;
    void clearAndWrite(const PasteboardContents& contents) override;

    // How many times content was asked of the clipboard's owner.
    int contentReads() const { return contentReads_; }
    // Whether content is read on a connection of its own, off the main thread.
    bool readsOffMainThread() const { return reader_ != nullptr; }

private:
    void onOwnerChanged(quint32 owner);
    std::optional<quint32> selectionOwner() const;

    QPointer<QClipboard> clipboard_;
    qint64 count_ = 0;
    int contentReads_ = 0;
    std::unique_ptr<X11ClipboardReader> reader_;
    // Qt's connection, to learn which window holds the clipboard after our own writes.
    xcb_connection_t* connection_ = nullptr;
    quint32 clipboardAtom_ = 0;
    quint32 ownWindow_ = 0;
};
