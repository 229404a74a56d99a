#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <functional>

// The ink of a template glyph: its colour, and whether the bar it sits on is unknown, so the
// glyph gets an outline of the opposite lightness that shows it on a light bar and a dark one.
struct TemplateInk {
    QColor color;
    bool outlined = false;
};

// A template image: a black glyph whose alpha is all that counts, drawn in an ink asked for
// each time it is painted, so it follows the panel's text colour. Rendered from the SVG at the
// exact device size, it stays sharp at every scale. glyphFraction is the share of the icon's
// square the glyph fills (scaled down proportionally, centred). Null when the SVG cannot be
// read.
QIcon templateIcon(const QString& svgPath, std::function<TemplateInk()> ink,
                   qreal glyphFraction = 1.0);
