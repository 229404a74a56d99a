#pragma once

#include <QKeySequence>
#include <QMap>
#include <QObject>
#include <QString>

// Keys that reach the program whichever window has the focus, bound the way the desktop
// allows. Each shortcut has a name; a name's key is one key combination. Main thread.
class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    enum class State {
        bound,         // it works, or there is nothing to bind
        heldElsewhere, // another program holds the key
        manual,        // the desktop binds keys only in its own configuration
    };

    ~GlobalShortcuts() override = default;

    // Binds each name's key, replacing what was bound before; a name with an empty key is
    // not bound, and names left out are released.
    virtual void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) = 0;
    virtual State state(const QString& name) const = 0;

Q_SIGNALS:
    // A bound key was pressed.
    void activated(const QString& name);
    // What state() answers may have changed.
    void stateChanged();
};

// Where the program cannot bind keys itself: every key is left to the user to bind in the
// desktop's settings, to the command the shortcut would run.
class ManualGlobalShortcuts : public GlobalShortcuts {
    Q_OBJECT
public:
    void setShortcuts(const QMap<QString, QKeySequence>& shortcuts) override;
    State state(const QString& name) const override;

private:
    QMap<QString, QKeySequence> shortcuts_;
};
