#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT (a session ending, `kill`, Ctrl+C) into a call of `quit` on the event
// loop, so the program ends the way its Quit command ends it instead of dying where it stands.
// The signal handler only writes a byte to a pipe; the loop reads it. One at a time per
// process; the previous handlers come back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> quit);
    ~TerminationSignals() override;

    // Whether the handlers are in place.
    bool isInstalled() const { return notifier_ != nullptr; }

private:
    std::function<void()> quit_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
