#pragma once

#include "strip/StripModule.h"

#include <QAbstractButton>
#include <QIcon>
#include <QList>
#include <QUrl>

class QMimeData;
class QPainter;

// Draws a monochrome symbol centred at a point, size in points, in the given colour (so it
// follows the palette as text does); the rotation is in degrees. The strip uses the bundled
// glyphs rather than the icon theme's: theme icons at this size are full-colour pictures of
// mixed styles, where the strip wants one family of symbols in the text colour.
void paintStripSymbol(QPainter& painter, const QIcon& icon, const QPointF& centre, qreal pointSize,
                      const QColor& color, qreal rotation = 0);

// A borderless button showing one symbol centred in a 28 by 28 frame. It never takes the
// keyboard focus: the strip must leave it with the active application.
class StripSymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    StripSymbolButton(const QString& symbolName, qreal pointSize, QWidget* parent = nullptr);

    QString symbolName() const { return symbolName_; }
    qreal symbolPointSize() const { return pointSize_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbolName_;
    qreal pointSize_;
    QIcon icon_;
};

// The button of one module. When it takes file drops, the local file URLs dropped on it are
// passed on by filesDropped.
class StripButton : public StripSymbolButton {
    Q_OBJECT
public:
    StripButton(StripModule module, bool takesFileDrops, QWidget* parent = nullptr);

    StripModule module() const { return module_; }
    bool acceptsFileDrops() const { return takesFileDrops_; }

Q_SIGNALS:
    void filesDropped(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    StripModule module_;
    bool takesFileDrops_;
};
