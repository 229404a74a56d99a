#pragma once

#include <QWidget>

class PeloraUpdatePreferences;
class QLabel;
class QPushButton;

// The content of the update window: the headline, the version line, the information text and
// the buttons to turn checking off or on, to dismiss, and to go to the download page.
class VersionCheckUpdateView : public QWidget {
    Q_OBJECT
public:
    VersionCheckUpdateView(PeloraUpdatePreferences& preferences, const QString& title,
                           const QString& versionLine, const QString& info,
                           QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* versionLineLabel() const { return versionLine_; }
    QLabel* infoLabel() const { return info_; } // null when there is no information text
    QPushButton* checkingButton() const { return checking_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* okButton() const { return ok_; }

Q_SIGNALS:
    void cancelClicked();
    // The download page is asked for.
    void okClicked();

private:
    void updateCheckingButton();

    PeloraUpdatePreferences& preferences_;
    QLabel* title_;
    QLabel* versionLine_;
    QLabel* info_ = nullptr;
    QPushButton* checking_;
    QPushButton* cancel_;
    QPushButton* ok_;
};
