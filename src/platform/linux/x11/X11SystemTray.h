#pragma once

#include <QColor>
#include <optional>

// The text colour an XEmbed system tray asks its icons to use (the foreground of
// "_NET_SYSTEM_TRAY_COLORS" on the tray manager's window), so a monochrome icon matches the
// panel. None when not on X11, without a tray, or when the tray publishes no colours.
std::optional<QColor> x11SystemTrayForegroundColor();
