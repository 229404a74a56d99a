#pragma once

#include "strip/StripModule.h"

#include <QMap>
#include <QWidget>

class GlobalShortcuts;
class QKeySequenceEdit;
class SettingsRow;
class UserDefaults;

// The General tab's "Keyboard Shortcuts" group: a recorder for each module's shortcut, with a
// button that clears it, writing the defaults key. Each row's caption says when the key cannot
// work as set: another program holds it, or the desktop wants it bound in its own settings.
class ShortcutsSettingsSection : public QWidget {
    Q_OBJECT
public:
    // program: the executable a desktop's own binding runs.
    ShortcutsSettingsSection(UserDefaults& defaults, GlobalShortcuts& shortcuts, QString program,
                             QWidget* parent = nullptr);

    // The recorder of a module's shortcut.
    QKeySequenceEdit* recorder(StripModule module) const { return recorders_.value(module); }
    SettingsRow* row(StripModule module) const { return rows_.value(module); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showStoredShortcuts();
    void updateCaptions();

    UserDefaults& defaults_;
    GlobalShortcuts& shortcuts_;
    QString program_;
    QMap<StripModule, QKeySequenceEdit*> recorders_;
    QMap<StripModule, SettingsRow*> rows_;
};
