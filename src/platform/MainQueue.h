#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <functional>

// Runs fn later on the main thread, after the current event has been handled. Safe to call
// from any thread. With a context, nothing runs when the context is gone by then.
inline void runLaterOnMain(std::function<void()> fn, QObject* context = nullptr) {
    QObject* target = context ? context : QCoreApplication::instance();
    if (!target)
        return;
    QMetaObject::invokeMethod(target, std::move(fn), Qt::QueuedConnection);
}
