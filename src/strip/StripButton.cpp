#include "strip/StripButton.h"

#include "common/FileURL.h"
#include "common/Symbols.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

namespace {
constexpr int buttonSize = 28;
} // namespace

void paintStripSymbol(QPainter& painter, const QIcon& icon, const QPointF& centre, qreal pointSize,
                      const QColor& color, qreal rotation) {
    if (icon.isNull())
        return;
    const qreal dpr = painter.device()->devicePixelRatioF();
    const int side = qRound(pointSize);
    QPixmap pixmap = icon.pixmap(QSize(side, side), dpr);
    if (pixmap.isNull())
        return;
    {
        QPainter tint(&pixmap);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(pixmap.rect(), color);
    }
    // The icon may come back smaller than asked (a theme without that size): keep its own
    // size, centred, rather than blur it by scaling up.
    const QSizeF logical = QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(centre);
    if (rotation != 0)
        painter.rotate(rotation);
    painter.drawPixmap(QPointF(-logical.width() / 2, -logical.height() / 2), pixmap);
    painter.restore();
}

StripSymbolButton::StripSymbolButton(const QString& symbolName, qreal pointSize, QWidget* parent)
    : QAbstractButton(parent), symbolName_(symbolName), pointSize_(pointSize),
      icon_(bundledSymbolIcon(symbolName)) {
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(buttonSize, buttonSize);
}

QSize StripSymbolButton::sizeHint() const {
    return QSize(buttonSize, buttonSize);
}

void StripSymbolButton::paintEvent(QPaintEvent*) {
    // A plain button: the symbol alone, the same under the pointer and while pressed.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor foreground = palette().color(QPalette::WindowText);
    // Symbols in the label colour, a touch softer than pure text.
    foreground.setAlphaF(0.85f);
    paintStripSymbol(painter, icon_, QRectF(rect()).center(), pointSize_, foreground);
}

StripButton::StripButton(StripModule module, bool takesFileDrops, QWidget* parent)
    : StripSymbolButton(systemImageName(module), iconPointSize(module), parent), module_(module),
      takesFileDrops_(takesFileDrops) {
    setObjectName(rawValue(module));
    setAcceptDrops(takesFileDrops_);
}

void StripButton::dragEnterEvent(QDragEnterEvent* event) {
    if (takesFileDrops_ && !localFileURLs(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void StripButton::dragMoveEvent(QDragMoveEvent* event) {
    if (takesFileDrops_ && !localFileURLs(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void StripButton::dropEvent(QDropEvent* event) {
    if (!takesFileDrops_) {
        event->ignore();
        return;
    }
    const QList<QUrl> urls = localFileURLs(event->mimeData());
    event->acceptProposedAction();
    if (!urls.isEmpty())
        Q_EMIT filesDropped(urls);
}
