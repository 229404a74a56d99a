#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class InstanceCommands;
class QLocalServer;
class QLocalSocket;
class QTimer;

// The running instance's end of the local socket: one request per connection, answered and
// closed. A peer that sends garbage or too much gets an error; one that stays silent, or does not
// take its reply, is dropped after a timeout; none of them holds up the others.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    enum class ListenResult {
        listening,
        // Someone answers on the socket: this start is the second one.
        anotherInstanceRunning,
        failed,
        // The socket belongs to another user and cannot be removed: starting would either
        // hand the user's commands to a stranger or run without taking any.
        foreignSocket,
    };

    explicit InstanceServer(QString socketPath, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Claims the socket unless another instance answers on it. A socket file that nobody
    // answers on is a leftover of a crash and is replaced, and so is one of another user,
    // whoever answers on it. Two starts racing here are
    // serialised by a lock file beside the socket.
    ListenResult listen();
    bool isListening() const;
    QString socketPath() const { return socketPath_; }
    QString errorString() const { return errorString_; }

    // Requests arriving before this is set are refused as "still starting".
    void setCommands(InstanceCommands* commands) { commands_ = commands; }

    // How long a peer may take to send its request, and again to take its reply.
    void setConnectionTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    static constexpr int defaultConnectionTimeoutMs = 3000;
    static constexpr int maxConnections = 32;
    int openConnections() const { return int(connections_.size()); }

Q_SIGNALS:
    // A request was answered (for tests and logging-free diagnostics).
    void requestHandled(const QJsonObject& request, const QJsonObject& reply);

private:
    struct Connection {
        QByteArray buffer;
        QTimer* deadline = nullptr;
        bool answered = false;
        quint64 serial = 0; // order of arrival
    };

    // When full: the connection that has held its place longest without a request, else the
    // oldest; null when there is none.
    QLocalSocket* connectionToDrop() const;

    void acceptConnections();
    void readRequest(QLocalSocket* socket);
    void answer(QLocalSocket* socket, const QJsonObject& reply);
    QJsonObject handle(const QJsonObject& request, std::function<void()>& afterReply);

    QString socketPath_;
    QString errorString_;
    QLocalServer* server_;
    InstanceCommands* commands_ = nullptr;
    int timeoutMs_ = defaultConnectionTimeoutMs;
    QHash<QLocalSocket*, Connection> connections_;
    quint64 nextSerial_ = 0;
};

// For main(), once the application object exists and before the strip, the tray icon or any
// service: claims the instance, or hands this plain start to the running instance. Returns the
// exit status when this process is the second one, or 1 with a message on standard error when
// the socket is unusable or the instance on it does not answer. When the socket cannot be had
// at all, the program runs on without taking commands.
std::optional<int> claimInstance(InstanceServer& server);
