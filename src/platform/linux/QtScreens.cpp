#include "platform/linux/QtScreens.h"

#include "platform/ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
ScreenInfo info(const QScreen* screen, const ScreenGeometry& geometry) {
    return {geometry.toBottomLeft(QRectF(screen->geometry())),
            geometry.toBottomLeft(QRectF(screen->availableGeometry()))};
}

ScreenGeometry geometryFor(const QScreen* primary) {
    return ScreenGeometry(QPointF(primary->geometry().topLeft()), primary->geometry().height());
}
} // namespace

QList<ScreenInfo> QtScreens::screens() const {
    QList<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    const ScreenGeometry geometry = geometryFor(primary);
    result << info(primary, geometry);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            result << info(screen, geometry);
    return result;
}

std::optional<ScreenInfo> QtScreens::mainScreen() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return std::nullopt;
    return info(primary, geometryFor(primary));
}

QPointF QtScreens::mainScreenTopLeft() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? QPointF(primary->geometry().topLeft()) : QPointF();
}
