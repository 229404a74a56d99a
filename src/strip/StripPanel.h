#pragma once

#include <QWidget>

// The strip's window: frameless, above other windows, never focused, sized by its content.
// Reports moves and resizes the window system makes after it was shown.
class StripPanel : public QWidget {
    Q_OBJECT
public:
    // translucent: the window has an alpha channel a compositor shows; otherwise it is opaque
    // and shaped to the content's rounded outline.
    StripPanel(QWidget* content, bool translucent, int cornerRadius);

    QWidget* content() const { return content_; }
    bool isShaped() const { return !translucent_; }

Q_SIGNALS:
    void moved();
    void resized();

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateShape();

    QWidget* content_;
    bool translucent_;
    int cornerRadius_;
};
