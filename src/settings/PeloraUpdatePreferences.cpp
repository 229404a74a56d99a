#include "settings/PeloraUpdatePreferences.h"

PeloraUpdatePreferences::PeloraUpdatePreferences(UserDefaults& defaults) : defaults_(defaults) {
    if (!defaults_.contains(kAutoCheckForUpdatesKey.key()))
        kAutoCheckForUpdatesKey.write(defaults_, true);
    autoCheckForUpdates_ = kAutoCheckForUpdatesKey.read(defaults_);
    // The key may also change under us (the defaults tool, another window's switch).
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == kAutoCheckForUpdatesKey.key())
            reload();
    });
}

void PeloraUpdatePreferences::setAutoCheckForUpdates(bool on) {
    kAutoCheckForUpdatesKey.write(defaults_, on);
    reload();
}

void PeloraUpdatePreferences::reload() {
    const bool on = kAutoCheckForUpdatesKey.read(defaults_);
    if (on == autoCheckForUpdates_)
        return;
    autoCheckForUpdates_ = on;
    Q_EMIT autoCheckForUpdatesChanged(on);
}
