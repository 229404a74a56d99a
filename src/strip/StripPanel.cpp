#include "strip/StripPanel.h"

#include <QBitmap>
#include <QMoveEvent>
#include <QPainter>
#include <QVBoxLayout>

StripPanel::StripPanel(QWidget* content, bool translucent, int cornerRadius)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
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
    // The window takes the content's size, now and whenever the content lays itself out again.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    layout->activate();
}

void StripPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (event->pos() != event->oldPos())
        Q_EMIT moved();
}

void StripPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateShape();
    if (event->size() != event->oldSize())
        Q_EMIT resized();
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
