#include "about/LinkButton.h"

#include <QFocusEvent>
#include <QPainter>

LinkButton::LinkButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics metrics(font());
    // A pixel either side leaves room for the underline's antialiasing.
    return QSize(metrics.horizontalAdvance(text()) + 2, metrics.height() + 2);
}

void LinkButton::focusInEvent(QFocusEvent* event) {
    // Only a focus the user moved here with the keyboard is worth showing.
    keyboardFocus_ = event->reason() == Qt::TabFocusReason ||
                     event->reason() == Qt::BacktabFocusReason ||
                     event->reason() == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}

void LinkButton::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    QAbstractButton::focusOutEvent(event);
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont f = font();
    f.setUnderline(underMouse() || (hasFocus() && keyboardFocus_));
    painter.setFont(f);
    QColor color =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Link);
    if (isDown())
        color = color.darker(130);
    painter.setPen(color);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
