#pragma once

#include "platform/GlobalShortcuts.h"
#include "platform/linux/wayland/SwayIpc.h"

// Global shortcuts under sway: each key is bound over sway's IPC at run time to the command
// that asks the running program for the shortcut ("popup --toggle NAME"), and unbound when
// changed or at quit. Main thread; sway is asked on a thread of its own.
class SwayGlobalShortcuts : public GlobalShortcuts {
    Q_OBJECT
public:
    // program: the executable the binding runs.
    explicit SwayGlobalShortcuts(QString program);
    ~SwayGlobalShortcuts() override;

    void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) override;
    State state(const QString& name) const override;

    // sway's name for a key combination ("Mod4+Shift+v"), or empty for one it cannot bind.
    static QString swayKeyName(const QKeyCombination& combination);
    // The bindsym command for a name's key, or empty when it cannot be written safely.
    static QString bindCommand(const QString& keyName, const QString& program, const QString& name);

private:
    void releaseAll();

    QString program_;
    QStringList boundKeys_;
    QStringList unbound_;
    quint64 generation_ = 0; // of the latest shortcuts: older answers change nothing
    SwayIpc sway_;
};
