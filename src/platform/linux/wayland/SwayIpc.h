#pragma once

#include <QString>

// Commands to the sway window manager through its IPC socket ($SWAYSOCK), for what neither
// its Wayland protocols nor its X11 support offer: placing an XWayland window (sway centres
// floating ones) and hiding windows (sway has no minimised state; its scratchpad hides).
namespace SwayIpc {

bool isAvailable();
// Runs one command; true when sway reports that every part of it succeeded.
bool runCommand(const QString& command, int timeoutMs = 1000);
// The criteria matching the windows of one app id exactly, or empty when the app id holds
// characters that cannot be passed to sway safely.
QString appIdCriteria(const QString& appId);

} // namespace SwayIpc
