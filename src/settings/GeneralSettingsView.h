#pragma once

#include "platform/LoginItems.h"

#include <QWidget>
#include <optional>

class Bundle;
class LoginItems;
class SettingsRow;
class ToggleSwitch;
class UserDefaults;

// The General tab: open the program at login, and show the strip.
class GeneralSettingsView : public QWidget {
    Q_OBJECT
public:
    GeneralSettingsView(Bundle& bundle, UserDefaults& defaults, LoginItems& loginItems,
                        QWidget* parent = nullptr);
    ~GeneralSettingsView() override;

    bool opensAtLogin() const { return opensAtLogin_; }
    bool needsApproval() const { return needsApproval_; }
    const QString& failureMessage() const { return failureMessage_; }
    bool showsStrip() const { return showsStrip_; }

    // Adds a group of rows below the tab's own.
    void addSection(QWidget* section);

    // Reads the login-item service's state into the switch.
    void refreshLaunchAtLoginState();
    // The switches' actions.
    void setOpensAtLogin(bool on);
    void setShowsStrip(bool on);
    // Registers or unregisters the login item unless it is already as asked.
    std::optional<LoginItemError> applyLaunchAtLogin(bool on);
    QString launchAtLoginFailureMessage() const;
    bool isInstalledInApplicationsFolder() const;

    ToggleSwitch* launchAtLoginSwitch() const { return loginSwitch_; }
    ToggleSwitch* showStripSwitch() const { return stripSwitch_; }
    SettingsRow* launchAtLoginRow() const { return loginRow_; }
    SettingsRow* showStripRow() const { return stripRow_; }
    // The launch-at-login row's caption: the failure, the approval note, or the explanation.
    QString launchAtLoginSubtitle() const;

Q_SIGNALS:
    // Asks the settings window to fit its height to the content later.
    void fitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateLaunchAtLoginRow();

    Bundle& bundle_;
    UserDefaults& defaults_;
    LoginItems& loginItems_;
    bool opensAtLogin_ = false;
    bool needsApproval_ = false;
    QString failureMessage_;
    bool showsStrip_ = false;
    ToggleSwitch* loginSwitch_;
    ToggleSwitch* stripSwitch_;
    SettingsRow* loginRow_;
    SettingsRow* stripRow_;
};
