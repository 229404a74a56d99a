#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <functional>

// Runs the event loop until pred holds or the time is up; whether it held.
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Lets queued work (later-on-the-main-thread steps) run.
inline void drainEvents(int rounds = 3) {
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

inline QString sourcePath(const QString& relative) {
    return QStringLiteral(PELORA_SOURCE_DIR "/") + relative;
}
inline QString buildPath(const QString& relative) {
    return QStringLiteral(PELORA_BUILD_DIR "/") + relative;
}

#include "support/QtPrinters.h"
