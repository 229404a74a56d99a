#include "app/PeloraServices.h"

#include "app/PeloraCommands.h"

#include <QMainWindow>
#include <QMenuBar>

PeloraServices::PeloraServices(Platform platform, QUrl versionDocumentURL)
    : platform_(std::move(platform)), versionDocumentURL_(std::move(versionDocumentURL)) {}

PeloraServices::~PeloraServices() = default;

SettingsWindowController& PeloraServices::settings() {
    if (settings_)
        return *settings_;
    SettingsWindowController& settings =
        made(settings_, platform_, updatePreferences(), versionCheck());
    // The program's only ordinary window carries the main-menu commands (a global menu where
    // the desktop has one).
    QObject::connect(
        &settings, &SettingsWindowController::settingsWindowCreated, &settings,
        [this](QMainWindow* window) { PeloraCommands(*this).fillMenuBar(*window->menuBar()); });
    return settings;
}
