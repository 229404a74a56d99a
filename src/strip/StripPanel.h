#pragma once

#include <QWidget>

// The strip's window: frameless, above other windows, never focused, sized by its content.
// Reports moves after it was shown, and when its content wants another size; the owner then
// gives it a frame of that size.
class StripPanel : public QWidget {
    Q_OBJECT
public:
    // translucent: the window has an alpha channel a compositor shows; otherwise it is opaque
    // and shaped to the content's rounded outline.
    StripPanel(QWidget* content, bool translucent, int cornerRadius,
               Qt::WindowType type = Qt::Tool);

    QWidget* content() const { return content_; }
    bool isShaped() const { return !translucent_; }
    // The size the content wants now.
    QSize contentSize() const;
    // Takes position and size in one request to the window system. Letting Qt resize the
    // window alone would send Qt's idea of its position along, which can lag behind where the
    // window manager has put it.
    void setFrame(const QRect& frame);

Q_SIGNALS:
    void moved();
    void contentSizeChanged();

protected:
    bool event(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateShape();

    QWidget* content_;
    bool translucent_;
    int cornerRadius_;
};
