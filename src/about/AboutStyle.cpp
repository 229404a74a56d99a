#include "about/AboutStyle.h"

#include <QApplication>
#include <QPalette>

namespace {
constexpr qreal kBodySize = 13;
constexpr qreal kSecondaryWeight = 0.58; // share of the text colour in the blend
} // namespace

QColor secondaryTextColor(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const QColor back = palette.color(QPalette::Active, QPalette::Window);
    auto mix = [](float a, float b) {
        return a * kSecondaryWeight + b * (1 - kSecondaryWeight);
    };
    return QColor::fromRgbF(mix(text.redF(), back.redF()), mix(text.greenF(), back.greenF()),
                            mix(text.blueF(), back.blueF()));
}

QFont systemFontOfSize(qreal size, QFont::Weight weight) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * size / kBodySize);
    else
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * size / kBodySize)));
    font.setWeight(weight);
    return font;
}
