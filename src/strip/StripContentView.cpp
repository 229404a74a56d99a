#include "strip/StripContentView.h"

#include "common/Symbols.h"
#include "common/Texts.h"
#include "platform/UserDefaults.h"
#include "platform/WindowDecorations.h"
#include "strip/StripLayoutItem.h"

#include <QApplication>
#include <QBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

namespace {
constexpr int paddingAlong = 8;
constexpr int paddingAcross = 2;
constexpr int gap = 4;
constexpr int handleLength = 22;
constexpr int itemThickness = 28;
constexpr int dividerInset = 6;
constexpr qreal handleSymbolSize = 14;
} // namespace

// The one place the strip can be dragged from. The window system's move starts only once the
// pointer has travelled the drag distance: started on the press itself, a click without motion
// would leave the window manager in its move mode.
class StripDragHandle : public QWidget {
public:
    StripDragHandle(WindowDecorations& decorations, QWidget* parent)
        : QWidget(parent), decorations_(decorations),
          icon_(bundledSymbolIcon(QStringLiteral("line.3.horizontal"))) {
        setObjectName(QStringLiteral("handle"));
        setAccessibleName(L("strip.accessibility.moveStrip"));
        setCursor(Qt::OpenHandCursor);
    }

    void setHorizontal(bool horizontal) {
        horizontal_ = horizontal;
        if (horizontal)
            setFixedSize(handleLength, itemThickness);
        else
            setFixedSize(itemThickness, handleLength);
        update();
    }
    bool isHorizontal() const { return horizontal_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor tertiary = palette().color(QPalette::WindowText);
        tertiary.setAlphaF(dragging_ ? 0.65f : 0.42f);
        // Turned a quarter in the horizontal strip, so its lines run across the strip.
        paintStripSymbol(painter, icon_, QRectF(rect()).center(), handleSymbolSize, tertiary,
                         horizontal_ ? 90 : 0);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            event->ignore();
            return;
        }
        pressed_ = true;
        dragging_ = false;
        pressGlobal_ = event->globalPosition().toPoint();
        pressWindowPos_ = window()->pos();
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!pressed_ || !(event->buttons() & Qt::LeftButton))
            return;
        const QPoint delta = event->globalPosition().toPoint() - pressGlobal_;
        if (!dragging_) {
            if (delta.manhattanLength() < QApplication::startDragDistance())
                return;
            dragging_ = true;
            setCursor(Qt::ClosedHandCursor);
            update();
            if (decorations_.startWindowMove(*window(), pressGlobal_)) {
                // The window manager owns the pointer until the move ends; the window then
                // reports its new place with one move event.
                endDrag();
                return;
            }
            QWindow* handle = window()->windowHandle();
            if (handle && handle->startSystemMove()) {
                endDrag();
                return;
            }
        }
        // A platform without a system move: follow the pointer ourselves.
        window()->move(pressWindowPos_ + delta);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        endDrag();
        event->accept();
    }

private:
    void endDrag() {
        pressed_ = false;
        dragging_ = false;
        setCursor(Qt::OpenHandCursor);
        update();
    }

    WindowDecorations& decorations_;
    QIcon icon_;
    bool horizontal_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    QPoint pressGlobal_;
    QPoint pressWindowPos_;
};

// A hairline across the strip, 1 point along it, inset at both of its ends.
class StripDivider : public QWidget {
public:
    StripDivider(const QString& name, QWidget* parent) : QWidget(parent) {
        setObjectName(name);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void setHorizontal(bool horizontal) {
        horizontal_ = horizontal;
        if (horizontal)
            setFixedSize(1, itemThickness);
        else
            setFixedSize(itemThickness, 1);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.18f);
        if (horizontal_)
            painter.fillRect(QRect(0, dividerInset, 1, height() - 2 * dividerInset), line);
        else
            painter.fillRect(QRect(dividerInset, 0, width() - 2 * dividerInset, 1), line);
    }

private:
    bool horizontal_ = false;
};

StripContentView::StripContentView(UserDefaults& defaults, WindowDecorations& decorations,
                                   QWidget* parent)
    : QWidget(parent), defaults_(defaults) {
    setObjectName(QStringLiteral("StripContentView"));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    stack_ = new QBoxLayout(QBoxLayout::TopToBottom, this);
    stack_->setSpacing(gap);
    stack_->setSizeConstraint(QLayout::SetFixedSize);

    handle_ = new StripDragHandle(decorations, this);
    stack_->addWidget(handle_, 0, Qt::AlignCenter);
    for (const StripLayoutItem& item : stripLayout()) {
        if (const auto module = item.module()) {
            const StripModule m = *module;
            const bool takesFileDrops = m == StripModule::documents || m == StripModule::folders ||
                                        m == StripModule::applications;
            auto* button = new StripButton(m, takesFileDrops, this);
            connect(button, &QAbstractButton::clicked, this, [this, m] { Q_EMIT moduleTapped(m); });
            connect(button, &StripButton::filesDropped, this,
                    [this, m](const QList<QUrl>& urls) { Q_EMIT filesDropped(m, urls); });
            buttons_ << button;
            stack_->addWidget(button, 0, Qt::AlignCenter);
        } else {
            auto* divider = new StripDivider(item.id(), this);
            dividers_ << divider;
            stack_->addWidget(divider, 0, Qt::AlignCenter);
        }
    }
    settingsButton_ = new StripSymbolButton(QStringLiteral("slider.horizontal.3"), 16, this);
    settingsButton_->setObjectName(QStringLiteral("settings"));
    connect(settingsButton_, &QAbstractButton::clicked, this, &StripContentView::settingsRequested);
    stack_->addWidget(settingsButton_, 0, Qt::AlignCenter);

    applyOrientation(stripOrientationKey.read(defaults_));
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == stripOrientationKey.key())
            applyOrientation(stripOrientationKey.read(defaults_));
    });
}

void StripContentView::applyOrientation(const QString& orientation) {
    const bool horizontal = isHorizontalOrientationValue(orientation);
    horizontal_ = horizontal;
    stack_->setDirection(horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    if (horizontal)
        stack_->setContentsMargins(paddingAlong, paddingAcross, paddingAlong, paddingAcross);
    else
        stack_->setContentsMargins(paddingAcross, paddingAlong, paddingAcross, paddingAlong);
    handle_->setHorizontal(horizontal);
    for (StripDivider* divider : dividers_)
        divider->setHorizontal(horizontal);
    updateGeometry();
    stack_->activate();
    update();
}

QList<QWidget*> StripContentView::stackItems() const {
    QList<QWidget*> items;
    for (int i = 0; i < stack_->count(); ++i)
        if (QWidget* w = stack_->itemAt(i)->widget())
            items << w;
    return items;
}

StripButton* StripContentView::button(StripModule module) const {
    for (StripButton* b : buttons_)
        if (b->module() == module)
            return b;
    return nullptr;
}

QWidget* StripContentView::dragHandle() const {
    return handle_;
}

void StripContentView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A light wash of the window colour stands in for the frosted material; where the window
    // cannot be translucent, the window's own opaque background shows through instead.
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.86f);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.setClipPath(path);
    painter.fillPath(path, fill);
}
