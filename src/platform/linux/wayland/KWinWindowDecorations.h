#pragma once

#include "platform/linux/x11/X11WindowDecorations.h"

#include <QString>

// KWin gives a native Wayland client no way to keep a window above the others or out of the
// task bar; a KWin script, loaded over D-Bus, does it for the strip. Through XWayland the EWMH
// states do it, as on X11.
class KWinWindowDecorations : public X11WindowDecorations {
public:
    void prepareFloatingPanel(QWidget& window) override;

    // The script that keeps this process's windows of this title above, out of the task bar,
    // the pager and the switcher, on every desktop: those there now and those to come.
    static QString keepAboveScript(qint64 pid, const QString& title);
    // The title that tells KWin's script which window is the strip.
    static QString stripTitle();

private:
    bool loaded_ = false;
};
