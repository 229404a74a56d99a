#include "platform/GlobalShortcuts.h"

void ManualGlobalShortcuts::setShortcuts(const QMap<QString, QKeySequence>& shortcuts) {
    shortcuts_ = shortcuts;
    Q_EMIT stateChanged();
}

GlobalShortcuts::State ManualGlobalShortcuts::state(const QString& name) const {
    return shortcuts_.value(name).isEmpty() ? State::bound : State::manual;
}
