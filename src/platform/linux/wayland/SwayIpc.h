#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>
#include <optional>

// Commands to the sway window manager through its IPC socket ($SWAYSOCK), for what neither
// its Wayland protocols nor its X11 support offer: placing an XWayland window (sway centres
// floating ones), hiding windows (sway has no minimised state; its scratchpad hides) and
// binding keys. sway is another program: it is asked on a thread of this object's own, one
// message per action, in the order sent, and its answer comes back on the main thread.
class SwayIpc {
public:
    // sway's answer to one message: one result per command, or none when it did not answer
    // (in time) or could not be reached.
    struct Reply {
        bool answered = false;
        QList<bool> succeeded;

        bool allSucceeded() const {
            return answered && !succeeded.isEmpty() && !succeeded.contains(false);
        }
    };

    static constexpr int defaultTimeoutMs = 1000;

    explicit SwayIpc(int timeoutMs = defaultTimeoutMs);
    // Messages already sent still go (the last unbinding at quit among them), each within its
    // deadline.
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // sway's windows: con id, app id (an XWayland window's class), whether floating, whether in
    // the scratchpad.
    struct Window {
        qint64 id = 0;
        QString appId;
        bool floating = false;
        bool inScratchpad = false;
    };

    static bool isAvailable();

    // Sends the commands as one message. done, when given, runs on the main thread with the
    // reply unless the context is gone by then.
    void send(const QStringList& commands, QObject* context = nullptr,
              std::function<void(const Reply&)> done = {});
    // Runs job on this object's thread, in order with the messages sent: for work that needs
    // one answer before the next message, which the main thread must not wait for.
    void post(std::function<void()> job);
    // A message of the given type as sway's socket takes it: magic, length, type, payload.
    static QByteArray frame(quint32 type, const QByteArray& payload);
    struct Message {
        quint32 type = 0;
        QByteArray payload;
    };
    // Takes the first whole message off the front of what was received; nothing while it is
    // incomplete. broken is set when the bytes are not sway's (or a message is too long).
    static std::optional<Message> takeMessage(QByteArray& received, bool& broken);
    // One message and its reply, on the calling thread, within one deadline.
    static Reply exchange(const QStringList& commands, int timeoutMs);
    // sway's windows, on the calling thread; empty when sway does not answer in time.
    static QList<Window> windows(int timeoutMs);

private:
    int timeoutMs_;
    QThreadPool worker_;
};
