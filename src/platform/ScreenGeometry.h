#pragma once

#include <QPointF>
#include <QRectF>

class Screens;

// The strip's stored frame has its origin at the bottom-left corner of the main screen and y
// growing upward; everything else in the program uses Qt's virtual desktop, origin top-left and
// y growing downward. This is the one conversion, used where the stored frame is read and
// written; the main screen's top-left corner in Qt's coordinates and its height fix it.
class ScreenGeometry {
public:
    ScreenGeometry(const QPointF& mainScreenTopLeft, qreal mainScreenHeight)
        : mainTopLeft_(mainScreenTopLeft), mainHeight_(mainScreenHeight) {}
    // The conversion for the screens as the platform reports them now.
    static ScreenGeometry current(const Screens& screens);

    QRectF toTopLeft(const QRectF& frame) const {
        return QRectF(frame.x() + mainTopLeft_.x(),
                      mainTopLeft_.y() + mainHeight_ - frame.y() - frame.height(), frame.width(),
                      frame.height());
    }
    QRectF toBottomLeft(const QRectF& qtRect) const {
        return QRectF(qtRect.x() - mainTopLeft_.x(),
                      mainTopLeft_.y() + mainHeight_ - qtRect.y() - qtRect.height(), qtRect.width(),
                      qtRect.height());
    }

private:
    QPointF mainTopLeft_;
    qreal mainHeight_;
};
