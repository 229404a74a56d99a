#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <functional>

// A template image: a black glyph whose alpha is all that counts, drawn in a colour asked for
// each time it is painted, so it follows the panel's text colour. Rendered from the SVG at the
// exact device size, it stays sharp at every scale. glyphFraction is the share of the icon's
// square the glyph fills (scaled down proportionally, centred). Null when the SVG cannot be
// read.
QIcon templateIcon(const QString& svgPath, std::function<QColor()> color,
                   qreal glyphFraction = 1.0);
