#pragma once

#include "strip/StripButton.h"
#include "strip/StripModule.h"

#include <QList>
#include <QUrl>
#include <QWidget>

class QBoxLayout;
class UserDefaults;
class WindowDecorations;
class StripDragHandle;
class StripDivider;

// Everything inside the strip window: the drag handle, one button per module of stripLayout()
// with the dividers between them, and the settings button, on a rounded translucent
// background. Follows the "stripOrientation" default live; its size is the window's size.
class StripContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cornerRadius = 12;

    // A drag by the handle goes to the window decorations; when they refuse it, Qt's own system
    // move is tried, then the window follows the pointer itself.
    StripContentView(UserDefaults& defaults, WindowDecorations& decorations,
                     QWidget* parent = nullptr);

    bool isHorizontal() const { return horizontal_; }
    // The stacked items from the leading end: handle, the layout's buttons and dividers,
    // settings button.
    QList<QWidget*> stackItems() const;
    StripButton* button(StripModule module) const;
    QWidget* dragHandle() const;
    StripSymbolButton* settingsButton() const { return settingsButton_; }

Q_SIGNALS:
    void moduleTapped(StripModule module);
    // Only the documents, folders and applications buttons take dropped files.
    void filesDropped(StripModule module, const QList<QUrl>& urls);
    void settingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyOrientation(const QString& orientation);

    UserDefaults& defaults_;
    bool horizontal_ = false;
    QBoxLayout* stack_ = nullptr;
    StripDragHandle* handle_ = nullptr;
    QList<StripButton*> buttons_;
    QList<StripDivider*> dividers_;
    StripSymbolButton* settingsButton_ = nullptr;
};
