#include "strip/StripPlacement.h"

#include "common/RectString.h"
#include "platform/ScreenGeometry.h"
#include "platform/WindowDecorations.h"
#include "strip/StripPanel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>

const DefaultsKey<QString> stripWindowFrameKey{"PeloraStripWindowFrame", QString()};

namespace {
constexpr qreal defaultRightInset = 12;
// A window this close to an edge counts as placed against it (the default place included).
constexpr qreal kEdgeDistance = 16;
} // namespace

StripPlacement::StripPlacement(UserDefaults& defaults, Screens& screens,
                               WindowDecorations& windowDecorations, QObject* parent)
    : QObject(parent), defaults_(defaults), screens_(screens),
      windowDecorations_(windowDecorations) {}

QRectF StripPlacement::initialFrame(const QSizeF& size) const {
    const qreal w = size.width();
    const qreal h = size.height();
    const auto main = screens_.mainScreen();
    QRectF fallback(0, 0, w, h);
    if (main) {
        const QRectF& v = main->visibleFrame;
        fallback = QRectF(v.right() - w - defaultRightInset, v.center().y() - 0.5 * h, w, h);
    }

    const auto stored = defaults_.objectForKey(stripWindowFrameKey.key());
    if (!stored || !variantIsString(*stored))
        return fallback;
    const QRectF s = rectFromString(stored->toString());
    if (s.width() < 1 || s.height() < 1)
        return fallback;
    // The stored frame's bottom-left corner stays where it was; the size is the content's.
    const QRectF t = ScreenGeometry::current(screens_).toTopLeft(s);
    const QRectF r(t.x(), t.bottom() - h, w, h);
    auto screen = screenBestContaining(r);
    if (!screen)
        screen = main;
    if (!screen)
        return fallback;
    return constrainFrameRect(r, *screen);
}

std::optional<ScreenInfo> StripPlacement::screenBestContaining(const QRectF& rect) const {
    std::optional<ScreenInfo> best;
    qreal bestArea = 0;
    for (const ScreenInfo& screen : screens_.screens()) {
        const QRectF& v = screen.visibleFrame;
        const qreal width =
            std::max<qreal>(0, std::min(v.right(), rect.right()) - std::max(v.left(), rect.left()));
        const qreal height =
            std::max<qreal>(0, std::min(v.bottom(), rect.bottom()) - std::max(v.top(), rect.top()));
        const qreal area = width * height;
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

QRectF StripPlacement::constrainFrameRect(const QRectF& frame, const ScreenInfo& screen) {
    const QRectF& v = screen.visibleFrame;
    QRectF r = frame;
    // A window larger than the area keeps its left and top edges visible.
    if (r.right() > v.right())
        r.moveRight(v.right());
    if (r.left() < v.left())
        r.moveLeft(v.left());
    if (r.bottom() > v.bottom())
        r.moveBottom(v.bottom());
    if (r.top() < v.top())
        r.moveTop(v.top());
    return r;
}

void StripPlacement::follow(StripPanel* window) {
    disconnect(movedObserver_);
    disconnect(resizedObserver_);
    window_ = window;
    if (!window)
        return;
    movedObserver_ = connect(window, &StripPanel::moved, this, &StripPlacement::windowDidMove);
    resizedObserver_ =
        connect(window, &StripPanel::contentSizeChanged, this, &StripPlacement::contentDidResize);
    if (!willTerminateObserver_)
        willTerminateObserver_ =
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                    &StripPlacement::storeFrame);
}

std::optional<QRectF> StripPlacement::frame() const {
    if (!window_)
        return std::nullopt;
    QRect geometry = window_->geometry();
    if (const auto position = windowDecorations_.windowPosition(*window_))
        geometry.moveTopLeft(*position);
    return QRectF(geometry);
}

void StripPlacement::storeFrame() {
    // Wayland tells a client nothing of where its windows are (every place reads as the
    // origin): storing that would lose the place the user chose in an X11 session.
    if (QGuiApplication::platformName().startsWith(u"wayland") ||
        !windowDecorations_.tellsWindowPlaces())
        return;
    if (const auto current = frame())
        writeFrame(*current);
}

void StripPlacement::writeFrame(const QRectF& frame) {
    stripWindowFrameKey.write(defaults_,
                              rectToString(ScreenGeometry::current(screens_).toBottomLeft(frame)));
}

void StripPlacement::windowDidMove() {
    // Qt reports a move it asked for at once, before the window system has made it; the
    // window system's place would still be the old one.
    if (!placingWindow_)
        storeFrame();
}

void StripPlacement::contentDidResize() {
    // The content laid itself out again (the orientation changed). The window keeps its
    // top-left corner, where the window system has it now, and stays whole on its screen; a
    // window at the right or bottom edge keeps its distance to that edge instead, so that a
    // switch there and back leaves it where it was.
    const auto current = frame();
    if (!current)
        return;
    QRectF wanted(current->topLeft(), window_->contentSize());
    auto screen = screenBestContaining(*current);
    if (!screen)
        screen = screens_.mainScreen();
    if (screen) {
        const QRectF& v = screen->visibleFrame;
        const qreal rightGap = v.right() - current->right();
        const qreal bottomGap = v.bottom() - current->bottom();
        if (rightGap >= 0 && rightGap <= kEdgeDistance)
            wanted.moveRight(v.right() - rightGap);
        if (bottomGap >= 0 && bottomGap <= kEdgeDistance)
            wanted.moveBottom(v.bottom() - bottomGap);
        wanted = constrainFrameRect(wanted, *screen);
    }
    const QRect target = wanted.toAlignedRect();
    placingWindow_ = true;
    window_->setFrame(target);
    placingWindow_ = false;
    // The frame asked for; should the window system put the window elsewhere, its move is
    // stored like any other.
    writeFrame(QRectF(target));
}
