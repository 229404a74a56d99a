#include "platform/linux/BridgedPasteboard.h"

BridgedPasteboard::BridgedPasteboard(std::shared_ptr<Pasteboard> wayland,
                                     std::shared_ptr<Pasteboard> x11)
    : sides_{std::move(wayland), std::move(x11)} {
    seen_[0] = sides_[0]->changeCount();
    seen_[1] = sides_[1]->changeCount();
}

qint64 BridgedPasteboard::changeCount() {
    const bool changed[2] = {sides_[wayland]->changeCount() != seen_[wayland],
                             sides_[x11]->changeCount() != seen_[x11]};
    for (Side side : {wayland, x11})
        seen_[side] = sides_[side]->changeCount();
    if (!changed[wayland] && !changed[x11])
        return count_;
    // The compositor gives X11 programs this program's own write.
    if (!changed[wayland] && ownWrite_.isValid() && !ownWrite_.hasExpired(bridgeMs)) {
        ownWrite_.invalidate();
        return count_;
    }
    // Both at once: one copy and the compositor passing it on, read from the Wayland side. (A
    // look that falls between the two reads the copy twice, and the history keeps it once.)
    newest_ = changed[wayland] ? wayland : x11;
    return ++count_;
}

void BridgedPasteboard::readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) {
    const qint64 count = changeCount();
    sides_[newest_]->readSnapshot(request,
                                  [count, done = std::move(done)](PasteboardSnapshot snapshot) {
                                      snapshot.changeCount = count;
                                      done(snapshot);
                                  });
}

void BridgedPasteboard::clearAndWrite(const PasteboardContents& contents) {
    changeCount();
    sides_[wayland]->clearAndWrite(contents);
    const qint64 x11Before = seen_[x11];
    changeCount();
    newest_ = wayland;
    if (seen_[x11] == x11Before)
        ownWrite_.start();
    else
        ownWrite_.invalidate(); // passed on already
}
