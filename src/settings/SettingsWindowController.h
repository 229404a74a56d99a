#pragma once

#include <QMainWindow>
#include <QObject>
#include <QPointer>

class PeloraSettingsView;
class PeloraUpdatePreferences;
class Services;
class VersionCheckService;

// The one settings window: created on first use, hidden when closed, shown again when
// reopened. Main thread.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    SettingsWindowController(Services& services, PeloraUpdatePreferences& preferences,
                             VersionCheckService& versionCheck);
    ~SettingsWindowController() override;

    // The window, created (hidden) on first call, so the main menu can be installed on it.
    QMainWindow* settingsWindow();
    // The window if it was created.
    QMainWindow* existingSettingsWindow() const { return window_; }
    PeloraSettingsView* settingsView() const;

    // Fits the window's height to the selected tab's content, keeping its top edge.
    void fitSettingsWindowToContent();
    void scheduleSettingsWindowFit();

public Q_SLOTS:
    // The one way to open the settings, from the tray, the strip, the command line and the
    // main menu alike: the program becomes active, the window is created if needed and comes
    // to the front, even when the program was behind another application.
    void openSettingsWindow();

Q_SIGNALS:
    // The window was just created, before it is first fitted and shown: the moment to give
    // it its menu bar.
    void settingsWindowCreated(QMainWindow* window);

private:
    Services& services_;
    PeloraUpdatePreferences& preferences_;
    VersionCheckService& versionCheck_;
    QPointer<QMainWindow> window_;
    bool placed_ = false;
};
