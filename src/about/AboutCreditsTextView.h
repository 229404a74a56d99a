#pragma once

#include <QTextBrowser>

class Bundle;
class Workspace;

// The scrollable, selectable credits of the About window: the bundle's "AboutText" document
// with the version filled in, or a note that it is missing, always in the secondary text
// colour of the current palette.
class AboutCreditsTextView : public QTextBrowser {
    Q_OBJECT
public:
    explicit AboutCreditsTextView(Bundle& bundle, Workspace& workspace, QWidget* parent = nullptr);

    // Whether the bundle's document could not be shown and the unavailable note stands in.
    bool showsUnavailableText() const { return unavailable_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void loadCredits();
    void applySecondaryColor();

    Bundle& bundle_;
    Workspace& workspace_;
    bool unavailable_ = false;
};
