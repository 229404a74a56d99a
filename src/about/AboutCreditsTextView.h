#pragma once

#include <QTextBrowser>

class Services;

// The scrollable, selectable credits of the About window: the bundle's "AboutText" document
// with the version filled in, or a note that it is missing, always in the secondary text
// colour of the current palette.
class AboutCreditsTextView : public QTextBrowser {
    Q_OBJECT
public:
    explicit AboutCreditsTextView(Services& services, QWidget* parent = nullptr);

    // Whether the bundle's document could not be shown and the unavailable note stands in.
    bool showsUnavailableText() const { return unavailable_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void loadCredits();
    void applySecondaryColor();

    Services& services_;
    bool unavailable_ = false;
};
