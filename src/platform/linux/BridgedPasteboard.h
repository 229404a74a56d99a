#pragma once

#include "platform/Pasteboard.h"

#include <QElapsedTimer>
#include <memory>

// Two selections a compositor bridges, seen as one pasteboard: the Wayland one (data-control)
// and XWayland's X11 one. sway and KWin pass a Wayland copy on to X11 programs, but an X11
// copy to Wayland only while an X11 window has the focus, so a program running through
// XWayland watches both. Changes on both sides at once are one copy, read from the Wayland
// side; writes go to the Wayland side, and the X11 change that passes one on is not a copy.
// Main thread.
class BridgedPasteboard : public Pasteboard {
public:
    BridgedPasteboard(std::shared_ptr<Pasteboard> wayland, std::shared_ptr<Pasteboard> x11);

    qint64 changeCount() override;
    void readSnapshot(const PasteboardReadRequest& request, SnapshotHandler done) override;
    void clearAndWrite(const PasteboardContents& contents) override;

    // How long after a write of this program's an X11 change is taken for the compositor's
    // passing it on.
    static constexpr qint64 bridgeMs = 1500;

private:
    enum Side { wayland, x11 };

    std::shared_ptr<Pasteboard> sides_[2];
    qint64 seen_[2] = {0, 0};
    qint64 count_ = 0;
    Side newest_ = wayland;
    QElapsedTimer ownWrite_;
};
