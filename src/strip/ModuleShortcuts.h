#pragma once

#include "strip/StripModule.h"

#include <QKeySequence>
#include <QMap>

class UserDefaults;

// The modules' keyboard shortcuts, stored under "PeloraKeyboardShortcuts": a dictionary from
// module name to a key in Qt's portable text ("Ctrl+Alt+V"). A missing or empty entry means
// none; without the dictionary, the clipboard has its default.
namespace ModuleShortcuts {

inline constexpr char key[] = "PeloraKeyboardShortcuts";

// Super+Shift+V: free in GNOME's, Plasma's and sway's default bindings (Super+V, their
// clipboard or notification key, stays theirs), and programs leave Super to the desktop.
QKeySequence defaultShortcut(StripModule module);

// Each module with a button and a shortcut, the first key combination only.
QMap<StripModule, QKeySequence> read(const UserDefaults& defaults);
// Stores one module's shortcut (empty for none), keeping the others as they are.
void write(UserDefaults& defaults, StripModule module, const QKeySequence& shortcut);
// The module whose shortcut a key press is, if any.
std::optional<StripModule> moduleForKey(const QMap<StripModule, QKeySequence>& shortcuts,
                                        QKeyCombination pressed);

} // namespace ModuleShortcuts
