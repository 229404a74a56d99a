#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QWidget>

class QBoxLayout;
class QVariantAnimation;

// An on/off switch drawn as a sliding knob in a rounded track, in the accent colour when on.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void animateTo(bool on);

    qreal position_ = 0; // 0 off … 1 on
    QVariantAnimation* animation_;
};

// A small spinning indicator of work in progress.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int angle_ = 0;
    int timer_ = 0;
};

// A grouped form: section headers above rounded boxes of rows, each row a title with a
// secondary caption under it on the leading side and a control on the trailing side.
class SettingsRow : public QWidget {
    Q_OBJECT
public:
    SettingsRow(const QString& title, const QString& subtitle, QWidget* accessory,
                QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }
    // An empty caption hides its line.
    void setSubtitle(const QString& text);

private:
    QLabel* title_;
    QLabel* subtitle_;
};

class SettingsSection : public QWidget {
    Q_OBJECT
public:
    explicit SettingsSection(const QString& header, QWidget* parent = nullptr);

    QLabel* headerLabel() const { return header_; }
    void addRow(SettingsRow* row);

private:
    QLabel* header_;
    QFrame* box_;
};

// The caption style of the forms: a smaller font in the secondary text colour.
void applyCaptionStyle(QLabel* label);
void applySecondaryStyle(QLabel* label);
