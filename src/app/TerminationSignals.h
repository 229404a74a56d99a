#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT (a session ending, `kill`, Ctrl+C) into terminationRequested on the
// event loop, so the program ends the way its Quit command ends it instead of dying where it
// stands. The signal handler only writes a byte to a pipe; the loop reads it. One at a time per
// process; the previous handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Whether the handlers are in place.
    bool isInstalled() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void terminationRequested();

private:
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
