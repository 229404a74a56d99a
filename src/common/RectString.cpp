#include "common/RectString.h"

#include <QRegularExpression>
#include <cmath>

namespace {
QString number(qreal v) {
    // Whole values print without a fraction, as the platform's own form does.
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(qint64(v));
    return QString::number(v, 'g', 17);
}
} // namespace

QString rectToString(const QRectF& r) {
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
}

QRectF rectFromString(const QString& text) {
    static const QRegularExpression numberPattern(
        QStringLiteral(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)"));
    qreal values[4] = {0, 0, 0, 0};
    int count = 0;
    auto it = numberPattern.globalMatch(text);
    while (it.hasNext() && count < 4) {
        const double v = it.next().captured(0).toDouble();
        values[count++] = std::isfinite(v) ? v : 0;
    }
    return QRectF(values[0], values[1], values[2], values[3]);
}
