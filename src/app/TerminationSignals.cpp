#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <signal.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT};
volatile sig_atomic_t writeEnd = -1;
struct sigaction previous[std::size(kSignals)];

void onSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    // A full pipe already holds a wake-up; nothing else can be done here.
    if (writeEnd >= 0 && ::write(writeEnd, &byte, 1) < 0) {
    }
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (writeEnd >= 0 || ::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
        }
        Q_EMIT terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    writeEnd = -1;
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}
