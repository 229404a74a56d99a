#pragma once

#include <QLocale>
#include <QWidget>

class BusyIndicator;
class PeloraUpdatePreferences;
class QPushButton;
class SettingsRow;
class ToggleSwitch;
class VersionCheckService;

// The Updates tab: the automatic-check switch, the check-now button and the date of the last
// successful check.
class UpdatesSettingsView : public QWidget {
    Q_OBJECT
public:
    UpdatesSettingsView(PeloraUpdatePreferences& preferences, VersionCheckService& versionCheck,
                        QWidget* parent = nullptr);

    bool isChecking() const { return isChecking_; }
    const QString& lastCheckedText() const { return lastCheckedText_; }
    void refreshLastCheckedText();

    ToggleSwitch* automaticSwitch() const { return automaticSwitch_; }
    QPushButton* checkNowButton() const { return checkNowButton_; }
    BusyIndicator* progressIndicator() const { return progress_; }
    SettingsRow* automaticRow() const { return automaticRow_; }
    SettingsRow* manualRow() const { return manualRow_; }

Q_SIGNALS:
    // Asks the settings window to fit its height to the content later.
    void fitRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void checkNow();
    void setChecking(bool checking);

    PeloraUpdatePreferences& preferences_;
    VersionCheckService& versionCheck_;
    bool isChecking_ = false;
    QString lastCheckedText_;
    ToggleSwitch* automaticSwitch_;
    QPushButton* checkNowButton_;
    BusyIndicator* progress_;
    SettingsRow* automaticRow_;
    SettingsRow* manualRow_;
};

// "Last checked: " and the date, in local time, in the locale's full date and short time format.
QString lastCheckedCaption(const QDateTime& date, const QLocale& locale = QLocale());
