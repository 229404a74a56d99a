#include "settings/PeloraUpdatePreferences.h"

PeloraUpdatePreferences::PeloraUpdatePreferences(UserDefaults& defaults)
    : defaults_(defaults), autoCheckForUpdates_(kAutoCheckForUpdatesKey.read(defaults_)) {
    // The key may also change under us (the defaults tool, another window's switch).
    connect(&defaults_, &UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == kAutoCheckForUpdatesKey.key())
            reload();
    });
}

bool PeloraUpdatePreferences::autoCheckForUpdates() {
    storeDefaultOnce();
    return autoCheckForUpdates_;
}

void PeloraUpdatePreferences::setAutoCheckForUpdates(bool on) {
    defaultStored_ = true;
    kAutoCheckForUpdatesKey.write(defaults_, on);
    reload();
}

void PeloraUpdatePreferences::storeDefaultOnce() {
    if (defaultStored_)
        return;
    defaultStored_ = true;
    if (!defaults_.contains(kAutoCheckForUpdatesKey.key()))
        kAutoCheckForUpdatesKey.write(defaults_, true);
}

void PeloraUpdatePreferences::reload() {
    const bool on = kAutoCheckForUpdatesKey.read(defaults_);
    if (on == autoCheckForUpdates_)
        return;
    autoCheckForUpdates_ = on;
    Q_EMIT autoCheckForUpdatesChanged(on);
}
