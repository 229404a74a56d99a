#include "platform/linux/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
ScreenInfo info(const QScreen* screen) {
    return {QRectF(screen->geometry()), QRectF(screen->availableGeometry())};
}
} // namespace

QList<ScreenInfo> QtScreens::screens() const {
    QList<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    result << info(primary);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            result << info(screen);
    return result;
}

std::optional<ScreenInfo> QtScreens::mainScreen() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return std::nullopt;
    return info(primary);
}
