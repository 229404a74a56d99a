#pragma once

#include <QColor>
#include <QFont>

class QPalette;

// The secondary label colour: the window text blended toward the window background, so it
// follows light and dark palettes alike.
QColor secondaryTextColor(const QPalette& palette);

// The system font at a size given in the points of a 13-point body text, scaled to the
// desktop's own body size so the user's font settings keep their proportions.
QFont systemFontOfSize(qreal size, QFont::Weight weight = QFont::Normal);
