#include "app/TemplateIcon.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>
#include <memory>

namespace {

class TemplateIconEngine : public QIconEngine {
public:
    TemplateIconEngine(std::shared_ptr<QSvgRenderer> renderer, std::function<TemplateInk()> ink,
                       qreal glyphFraction)
        : renderer_(std::move(renderer)), ink_(std::move(ink)), glyphFraction_(glyphFraction) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(
            rect, scaledPixmap((QSizeF(rect.size()) * scale).toSize(), mode, state, scale));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // pixels: the size in device pixels, as QIcon asks for it.
    QPixmap scaledPixmap(const QSize& pixels, QIcon::Mode mode, QIcon::State,
                         qreal scale) override {
        if (pixels.isEmpty())
            return {};
        TemplateInk ink = ink_ ? ink_() : TemplateInk{QColor(Qt::black)};
        if (mode == QIcon::Disabled)
            ink.color.setAlphaF(ink.color.alphaF() * 0.45f);
        // Inset by the outline's width, so the outline stays inside the icon.
        const int outline = ink.outlined ? std::max(1, pixels.height() / 16) : 0;
        const QImage glyph = tinted(pixels, outline, ink.color);
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            if (outline) {
                QColor around = ink.color.lightness() < 128 ? Qt::white : Qt::black;
                around.setAlphaF(ink.color.alphaF());
                const QImage halo = tinted(pixels, outline, around);
                for (int dx = -outline; dx <= outline; ++dx)
                    for (int dy = -outline; dy <= outline; ++dy)
                        painter.drawImage(QPoint(dx, dy), halo);
            }
            painter.drawImage(QPoint(0, 0), glyph);
        }
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        // Hosts that take pixmaps rather than paint (the StatusNotifierItem protocol) pick
        // from these.
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24),
                QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QString key() const override { return QStringLiteral("PeloraTemplateIcon"); }
    bool isNull() override { return !renderer_->isValid(); }

    QIconEngine* clone() const override {
        return new TemplateIconEngine(renderer_, ink_, glyphFraction_);
    }

private:
    // The glyph alone in one colour: only its coverage is kept.
    QImage tinted(const QSize& pixels, int inset, const QColor& color) const {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer_->render(&painter,
                          glyphRect(pixels - QSize(2 * inset, 2 * inset)).translated(inset, inset));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
        return image;
    }

    QRectF glyphRect(const QSize& pixels) const {
        const QSizeF natural = renderer_->defaultSize().isEmpty()
                                   ? QSizeF(renderer_->viewBoxF().size())
                                   : QSizeF(renderer_->defaultSize());
        const QSizeF box = QSizeF(pixels) * glyphFraction_;
        QSizeF glyph = natural.isEmpty() ? box : natural.scaled(box, Qt::KeepAspectRatio);
        return QRectF(
            QPointF((pixels.width() - glyph.width()) / 2, (pixels.height() - glyph.height()) / 2),
            glyph);
    }

    std::shared_ptr<QSvgRenderer> renderer_;
    std::function<TemplateInk()> ink_;
    qreal glyphFraction_;
};

} // namespace

QIcon templateIcon(const QString& svgPath, std::function<TemplateInk()> ink, qreal glyphFraction) {
    auto renderer = std::make_shared<QSvgRenderer>(svgPath);
    if (!renderer->isValid())
        return {};
    QIcon icon(new TemplateIconEngine(std::move(renderer), std::move(ink),
                                      qBound(0.1, glyphFraction, 1.0)));
    icon.setIsMask(true);
    return icon;
}
