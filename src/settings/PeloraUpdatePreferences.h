#pragma once

#include "platform/UserDefaults.h"

#include <QObject>

inline constexpr DefaultsKey<bool> kAutoCheckForUpdatesKey{"PeloraAutoCheckForUpdates", true};

// The one update preference: whether to check for a new version at launch. Its first use
// stores the default when nothing is stored yet, so a run that never gets that far stores
// nothing. One per process. Main thread.
class PeloraUpdatePreferences : public QObject {
    Q_OBJECT
public:
    explicit PeloraUpdatePreferences(UserDefaults& defaults);

    bool autoCheckForUpdates();
    // Stores the value at once.
    void setAutoCheckForUpdates(bool on);

Q_SIGNALS:
    void autoCheckForUpdatesChanged(bool on);

private:
    void storeDefaultOnce();
    void reload();

    UserDefaults& defaults_;
    bool autoCheckForUpdates_;
    bool defaultStored_ = false;
};
