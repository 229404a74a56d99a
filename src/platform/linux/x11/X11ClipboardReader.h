#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <QObject>
#include <QThread>
#include <memory>

class X11ClipboardWorker;

// Reads the X11 CLIPBOARD selection on a connection of its own, in a thread of its own, so a
// stuck or slow owner never holds the main thread: every read has one deadline for the whole
// change, every type a byte limit (INCR transfers included), and a read that meets a new owner
// gives up. Also tells of every new owner, from XFixes. Created and used on the main thread.
class X11ClipboardReader : public QObject {
    Q_OBJECT
public:
    // Connects to $DISPLAY; isValid() is false when that fails or XFixes is missing.
    X11ClipboardReader();
    ~X11ClipboardReader() override;

    bool isValid() const { return worker_ != nullptr; }

    // Reads the current content; done runs later on the main thread with the snapshot,
    // marked with changeCount. Reads run one after the other.
    void read(const PasteboardReadRequest& request, qint64 changeCount,
              Pasteboard::SnapshotHandler done);

Q_SIGNALS:
    // The clipboard has a new owner (0 when the owner went away without a successor).
    void ownerChanged(quint32 owner);

private:
    void deliver(quint64 token, const PasteboardSnapshot& snapshot);

    QThread thread_;
    X11ClipboardWorker* worker_ = nullptr; // lives in thread_
    quint64 nextToken_ = 0;
    QHash<quint64, Pasteboard::SnapshotHandler> handlers_;
};
