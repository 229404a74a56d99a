#include "settings/SettingsWidgets.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {
QColor blend(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}
} // namespace

void applySecondaryStyle(QLabel* label) {
    QPalette palette = label->palette();
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    palette.setColor(QPalette::WindowText, blend(text, window, 0.45));
    label->setPalette(palette);
}

void applyCaptionStyle(QLabel* label) {
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.88 : 8.5);
    label->setFont(font);
    applySecondaryStyle(label);
}

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent), animation_(new QVariantAnimation(this)) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation_->setDuration(120);
    animation_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        position_ = v.toReal();
        update();
    });
}

QSize ToggleSwitch::sizeHint() const {
    return {40, 24};
}

bool ToggleSwitch::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void ToggleSwitch::checkStateSet() {
    // Set from code: show the state at once. Only the user's flips slide.
    animation_->stop();
    position_ = isChecked() ? 1 : 0;
    update();
}

void ToggleSwitch::nextCheckState() {
    const qreal from = position_;
    QAbstractButton::nextCheckState();
    position_ = from;
    animateTo(isChecked());
}

void ToggleSwitch::animateTo(bool on) {
    animation_->stop();
    animation_->setStartValue(position_);
    animation_->setEndValue(on ? 1.0 : 0.0);
    animation_->start();
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(2, 2, -2, -2);
    const qreal radius = track.height() / 2;
    const QPalette& pal = palette();
    const QColor off = blend(pal.color(QPalette::Window), pal.color(QPalette::WindowText), 0.22);
    QColor on = pal.color(QPalette::Highlight);
    QColor fill = blend(off, on, position_);
    if (!isEnabled())
        fill.setAlphaF(0.45);

    if (hasFocus()) {
        QColor ring = on;
        ring.setAlphaF(0.45);
        p.setPen(QPen(ring, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, radius, radius);

    const qreal knobSize = track.height() - 4;
    const qreal x = track.left() + 2 + (track.width() - knobSize - 4) * position_;
    const QRectF knob(x, track.top() + 2, knobSize, knobSize);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(knob.translated(0, 0.8));
    p.setBrush(isEnabled() ? QColor(Qt::white) : QColor(245, 245, 245));
    p.drawEllipse(knob);
}

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusyIndicator::showEvent(QShowEvent*) {
    if (!timer_)
        timer_ = startTimer(80);
}

void BusyIndicator::hideEvent(QHideEvent*) {
    if (timer_)
        killTimer(timer_);
    timer_ = 0;
}

void BusyIndicator::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_)
        return;
    angle_ = (angle_ + 30) % 360;
    update();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    p.rotate(angle_);
    const QColor base = palette().color(QPalette::WindowText);
    // Twelve spokes fading behind the leading one.
    for (int i = 0; i < 12; ++i) {
        QColor c = base;
        c.setAlphaF(0.15 + 0.85 * (12 - i) / 12.0);
        p.setPen(QPen(c, side / 10.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.44));
        p.rotate(-30);
    }
}

SettingsRow::SettingsRow(const QString& title, const QString& subtitle, QWidget* accessory,
                         QWidget* parent)
    : QWidget(parent), title_(new QLabel(title)), subtitle_(new QLabel(subtitle)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 10, 12, 10);
    row->setSpacing(16);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    title_->setWordWrap(true);
    subtitle_->setWordWrap(true);
    subtitle_->setObjectName(QStringLiteral("settingsRowSubtitle"));
    applyCaptionStyle(subtitle_);
    subtitle_->setVisible(!subtitle.isEmpty());
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    row->addLayout(texts, 1);
    if (accessory)
        row->addWidget(accessory, 0, Qt::AlignVCenter | Qt::AlignRight);
}

void SettingsRow::setSubtitle(const QString& text) {
    subtitle_->setText(text);
    subtitle_->setVisible(!text.isEmpty());
}

SettingsSection::SettingsSection(const QString& header, QWidget* parent)
    : QWidget(parent), header_(new QLabel(header)), box_(new QFrame) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QFont font = header_->font();
    font.setWeight(QFont::DemiBold);
    header_->setFont(font);
    header_->setContentsMargins(4, 0, 0, 0);
    header_->setWordWrap(true);
    layout->addWidget(header_);

    box_->setObjectName(QStringLiteral("settingsGroup"));
    const QPalette& pal = palette();
    const QColor border = blend(pal.color(QPalette::Window), pal.color(QPalette::WindowText), 0.14);
    box_->setStyleSheet(QStringLiteral("QFrame#settingsGroup { background: %1; border: 1px solid "
                                       "%2; border-radius: 8px; }")
                            .arg(pal.color(QPalette::Base).name(), border.name()));
    auto* rows = new QVBoxLayout(box_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    layout->addWidget(box_);
}

void SettingsSection::addRow(SettingsRow* row) {
    auto* rows = static_cast<QVBoxLayout*>(box_->layout());
    if (rows->count() > 0) {
        auto* line = new QFrame;
        line->setFixedHeight(1);
        const QPalette& pal = palette();
        line->setStyleSheet(
            QStringLiteral("background: %1; margin: 0 12px;")
                .arg(
                    blend(pal.color(QPalette::Base), pal.color(QPalette::WindowText), 0.1).name()));
        rows->addWidget(line);
    }
    rows->addWidget(row);
}
