#pragma once

#include <QRectF>
#include <QString>

// The stored rectangle form "{{x, y}, {w, h}}".
QString rectToString(const QRectF& rect);
// Lenient like the platform's parser: the first four numbers found are x, y, w, h; missing
// numbers read as 0, and text without numbers gives the zero rectangle.
QRectF rectFromString(const QString& text);
