#include "strip/StripPanel.h"

#include <QBitmap>
#include <QMoveEvent>
#include <QPainter>
#include <QVBoxLayout>

StripPanel::StripPanel(QWidget* content, bool translucent, int cornerRadius, Qt::WindowType type)
    : QWidget(nullptr, type | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      content_(content), translucent_(translucent), cornerRadius_(cornerRadius) {
    setObjectName(QStringLiteral("StripPanel"));
    setWindowTitle(QString());
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    if (translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The layout does not size the window: setFrame does, in one request with its position.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(content);
    setFixedSize(contentSize());
    layout->activate();
}

QSize StripPanel::contentSize() const {
    return content_->sizeHint();
}

void StripPanel::setFrame(const QRect& frame) {
    // Fixed sizes would clamp the new geometry; they are set again once it is taken.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setGeometry(frame);
    setFixedSize(frame.size());
}

bool StripPanel::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest && contentSize() != size())
        Q_EMIT contentSizeChanged();
    return handled;
}

void StripPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (event->pos() != event->oldPos())
        Q_EMIT moved();
}

void StripPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateShape();
}

void StripPanel::updateShape() {
    if (translucent_)
        return;
    // A one-bit mask cannot be smooth; drawn without antialiasing the corners at least follow
    // the arc pixel by pixel.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    painter.end();
    setMask(shape);
}
