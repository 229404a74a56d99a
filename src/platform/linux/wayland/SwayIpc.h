#pragma once

#include <QList>
#include <QString>

// Commands to the sway window manager through its IPC socket ($SWAYSOCK), for what neither
// its Wayland protocols nor its X11 support offer: placing an XWayland window (sway centres
// floating ones) and hiding windows (sway has no minimised state; its scratchpad hides).
namespace SwayIpc {

bool isAvailable();
// Runs one command; true when sway reports that every part of it succeeded.
bool runCommand(const QString& command, int timeoutMs = 1000);
// sway's windows: con id, app id (an XWayland window's class), whether floating, whether in
// the scratchpad. Empty when sway does not answer in time.
struct Window {
    qint64 id = 0;
    QString appId;
    bool floating = false;
    bool inScratchpad = false;
};
QList<Window> windows(int timeoutMs = 1000);

} // namespace SwayIpc
