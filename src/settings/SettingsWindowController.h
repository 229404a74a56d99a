#pragma once

#include "common/NotificationCenter.h"

#include <QObject>
#include <QPointer>

class PeloraSettingsView;
#include <QMainWindow>
class QWidget;
class Services;

// Asks the settings opener to open the settings window; no payload.
inline constexpr NotificationName kOpenSettingsNotification{"PeloraOpenSettings"};

// The one settings window: created on first use, hidden when closed, shown again when
// reopened. Reached through services.get<SettingsWindowController>(). Main thread.
//
// From anywhere outside the settings window (the tray menu, the strip), call
// openSettingsWindow(): the program becomes active and the window comes to the front, even
// when the program was hidden behind another application.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    explicit SettingsWindowController(Services& services);
    ~SettingsWindowController() override;

    // Opens the settings window and brings it to the front; the work runs on later turns of
    // the event loop.
    void openSettingsWindow();

    // The plain open action: creates the window if needed and shows it. This is what the
    // main menu's Settings item (Ctrl+,) must call; calling openSettingsWindow from that item
    // would only ask the menu again.
    void showSettingsWindow();

    // The window, created (hidden) on first call, so the main menu can be installed on it.
    QMainWindow* settingsWindow();
    // The window if it was created.
    QMainWindow* existingSettingsWindow() const { return window_; }
    PeloraSettingsView* settingsView() const;

    // The settings window found by its title (a tab's label or the program's name).
    QWidget* findSettingsWindow() const;
    // Fits the window's height to the selected tab's content, keeping its top edge.
    void fitSettingsWindowToContent();
    void scheduleSettingsWindowFit();
    // Runs the Settings item of the settings window's menu bar (Ctrl+,); whether it found one.
    bool triggerSettingsMenuItem();
    void bringSettingsWindowFront();

Q_SIGNALS:
    // The window was just created, before it is first fitted and shown: the moment to give
    // it its menu bar.
    void settingsWindowCreated(QMainWindow* window);

private:
    void unhideAndActivate();

    Services& services_;
    QPointer<QMainWindow> window_;
    NotificationCenter::Token openerObserver_ = 0;
    bool openingThroughMenu_ = false;
    bool placed_ = false;
};

// The entry point for the tray menu and the strip.
void openSettingsWindow(Services& services);
