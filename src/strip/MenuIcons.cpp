#include "strip/MenuIcons.h"

#include <QCoreApplication>
#include <QHash>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>

namespace {

constexpr int kUsualMenuIconSize = 16;

class MenuIconSizeStyle : public QProxyStyle {
public:
    explicit MenuIconSizeStyle(int side) : side_(side) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_SmallIconSize)
            return side_;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    int side_;
};

// One style per size, alive as long as the application: widgets do not own their styles.
QStyle* menuIconSizeStyle(int side) {
    static QHash<int, QPointer<QStyle>> styles;
    QPointer<QStyle>& style = styles[side];
    if (!style) {
        style = new MenuIconSizeStyle(side);
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

QIcon menuIconAtSize(const QIcon& icon, int side) {
    if (icon.isNull())
        return {};
    const QSize size(side, side);
    QPixmap pixmap = icon.pixmap(size);
    if (pixmap.isNull())
        return {};
    // Icons offer only the sizes they have; a smaller one is scaled up like any image.
    const QSizeF shown = pixmap.deviceIndependentSize();
    if (shown.width() < side && shown.height() < side) {
        const qreal ratio = pixmap.devicePixelRatio();
        pixmap = pixmap.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    return QIcon(pixmap);
}

void setMenuIconSize(QMenu& menu, int side) {
    if (side <= kUsualMenuIconSize)
        return;
    menu.setStyle(menuIconSizeStyle(side));
}
