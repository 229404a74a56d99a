#include "app/InstanceServer.h"

#include "app/InstanceClient.h"
#include "app/InstanceCommands.h"
#include "app/InstanceProtocol.h"
#include "common/MenuJson.h"

#include <QFile>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMenu>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace P = InstanceProtocol;

namespace {
constexpr int kProbeTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 5000;

QJsonObject okReply() {
    return QJsonObject{{QLatin1String(P::keyOk), true}};
}

QString text(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString();
}
} // namespace

InstanceServer::InstanceServer(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(maxConnections);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
}

InstanceServer::~InstanceServer() {
    // The sockets go with the server; their bookkeeping must not outlive it.
    for (auto it = connections_.begin(); it != connections_.end(); ++it)
        QObject::disconnect(it.key(), nullptr, this, nullptr);
    connections_.clear();
}

bool InstanceServer::isListening() const {
    return server_->isListening();
}

InstanceServer::ListenResult InstanceServer::listen() {
    if (server_->isListening())
        return ListenResult::listening;
    if (socketPath_.isEmpty()) {
        errorString_ = QStringLiteral("no place for the instance socket");
        return ListenResult::failed;
    }
    // Without the lock, two starts could both find the socket dead, and the second would
    // remove the first one's fresh socket and listen beside it.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
        errorString_ = QStringLiteral("another start holds %1.lock").arg(socketPath_);
        return ListenResult::failed;
    }

    // Only the user's own instance may receive the user's commands. The folder is the user's
    // and closed to others, so a socket of someone else in it is a leftover (of a start under
    // sudo, say) or planted: either way not to be spoken to.
    struct stat st {};
    const QByteArray local = QFile::encodeName(socketPath_);
    if (::lstat(local.constData(), &st) == 0 && st.st_uid != geteuid() &&
        ::unlink(local.constData()) != 0) {
        errorString_ = QStringLiteral("%1 belongs to another user and cannot be removed: %2")
                           .arg(socketPath_, QString::fromLocal8Bit(strerror(errno)));
        return ListenResult::foreignSocket;
    }

    QLocalSocket probe;
    probe.connectToServer(socketPath_);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.abort();
        return ListenResult::anotherInstanceRunning;
    }
    switch (probe.error()) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::ConnectionRefusedError:
        // Nothing there, or a socket file nobody listens on any more.
        QLocalServer::removeServer(socketPath_);
        break;
    default:
        // Something holds the socket but is too busy to accept: not ours to replace.
        return ListenResult::anotherInstanceRunning;
    }

    if (!server_->listen(socketPath_)) {
        errorString_ = server_->errorString();
        return ListenResult::failed;
    }
    return ListenResult::listening;
}

void InstanceServer::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // A flood of peers must not grow memory without bound, nor lock real clients out: a
        // real client sends its request at once, so the peer that has waited longest without
        // one makes room.
        if (connections_.size() >= maxConnections) {
            if (QLocalSocket* oldest = connectionToDrop()) {
                connections_.remove(oldest);
                QObject::disconnect(oldest, nullptr, this, nullptr);
                oldest->abort();
                oldest->deleteLater();
            }
        }
        // Beyond one request the peer is not speaking this protocol; stop buffering for it.
        socket->setReadBufferSize(P::maxRequestSize + 1);

        Connection& connection = connections_[socket];
        connection.serial = nextSerial_++;
        connection.deadline = new QTimer(socket);
        connection.deadline->setSingleShot(true);
        connect(connection.deadline, &QTimer::timeout, socket, [this, socket] {
            const auto it = connections_.find(socket);
            if (it == connections_.end())
                return;
            if (!it->answered) {
                answer(socket, P::errorReply(QStringLiteral("no request received in time")));
            } else {
                // The peer does not take its reply.
                socket->abort();
                socket->deleteLater();
            }
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { connections_.remove(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connection.deadline->start(timeoutMs_);
        // Data may have come with the connection.
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

QLocalSocket* InstanceServer::connectionToDrop() const {
    QLocalSocket* best = nullptr;
    auto rank = [](const Connection& c) {
        return std::make_pair(c.answered, c.serial);
    };
    for (auto it = connections_.cbegin(); it != connections_.cend(); ++it) {
        if (!best || rank(it.value()) < rank(connections_.value(best)))
            best = it.key();
    }
    return best;
}

void InstanceServer::readRequest(QLocalSocket* socket) {
    const auto it = connections_.find(socket);
    if (it == connections_.end())
        return;
    if (it->answered) {
        socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    it->buffer += socket->readAll();
    const qsizetype end = it->buffer.indexOf('\n');
    if (end > P::maxRequestSize || (end < 0 && it->buffer.size() > P::maxRequestSize)) {
        answer(socket, P::errorReply(QStringLiteral("request too large")));
        return;
    }
    if (end < 0)
        return;

    const QByteArray frame = it->buffer.left(end);
    std::function<void()> afterReply;
    const std::optional<QJsonObject> request = P::decode(frame);
    const QJsonObject reply =
        request ? handle(*request, afterReply) : P::errorReply(QStringLiteral("malformed request"));
    answer(socket, reply);
    Q_EMIT requestHandled(request.value_or(QJsonObject()), reply);
    // Effects that may open windows, menus or end the program come after the reply is on its
    // way, so the asking process never waits for them.
    if (afterReply)
        QMetaObject::invokeMethod(this, afterReply, Qt::QueuedConnection);
}

void InstanceServer::answer(QLocalSocket* socket, const QJsonObject& reply) {
    Connection& connection = connections_[socket];
    connection.answered = true;
    connection.buffer.clear();
    connection.deadline->start(timeoutMs_);
    socket->write(P::encode(reply));
    socket->flush();
    // Closes once the reply is written; the deadline aborts a peer that never reads it.
    socket->disconnectFromServer();
}

QJsonObject InstanceServer::handle(const QJsonObject& request, std::function<void()>& afterReply) {
    if (!commands_)
        return P::errorReply(QStringLiteral("Pelora is still starting"));
    const QString command = text(request, P::keyCommand);

    if (command == QLatin1String(P::commandPopup) || command == QLatin1String(P::commandMenu)) {
        const QString raw = text(request, P::keyModule);
        const std::optional<StripModule> module = stripModuleFromRawValue(raw);
        if (!module)
            return P::errorReply(QStringLiteral("unknown module \"%1\"").arg(raw));
        if (!hasButton(*module))
            return P::errorReply(
                QStringLiteral("the module \"%1\" has no button and no menu").arg(raw));
        if (command == QLatin1String(P::commandPopup)) {
            const bool toggle = request.value(QLatin1String(P::keyToggle)).toBool();
            afterReply = [this, m = *module, toggle] {
                if (commands_)
                    commands_->popup(m, toggle);
            };
            return okReply();
        }
        const std::unique_ptr<QMenu> menu = commands_->menu(*module);
        if (!menu)
            return P::errorReply(QStringLiteral("no menu for \"%1\"").arg(raw));
        QJsonObject reply = okReply();
        reply.insert(QLatin1String(P::keyMenu), menuToJson(*menu));
        return reply;
    }

    if (command == QLatin1String(P::commandStrip)) {
        const QString action = text(request, P::keyAction);
        bool visible;
        if (action == QLatin1String("show"))
            visible = true;
        else if (action == QLatin1String("hide"))
            visible = false;
        else if (action == QLatin1String("toggle"))
            visible = !commands_->isStripVisible();
        else
            return P::errorReply(QStringLiteral("unknown strip action \"%1\"").arg(action));
        commands_->setStripVisible(visible);
        QJsonObject reply = okReply();
        reply.insert(QLatin1String(P::keyStripVisible), visible);
        return reply;
    }

    using Effect = void (InstanceCommands::*)();
    static const std::pair<const char*, Effect> effects[] = {
        {P::commandActivate, &InstanceCommands::activate},
        {P::commandSettings, &InstanceCommands::showSettings},
        {P::commandAbout, &InstanceCommands::showAbout},
        {P::commandCheckUpdates, &InstanceCommands::checkForUpdates},
        {P::commandQuit, &InstanceCommands::quit},
    };
    for (const auto& [name, effect] : effects) {
        if (command == QLatin1String(name)) {
            afterReply = [this, effect = effect] {
                if (commands_)
                    (commands_->*effect)();
            };
            return okReply();
        }
    }
    return P::errorReply(QStringLiteral("unknown command \"%1\"").arg(command));
}

std::optional<int> claimInstance(InstanceServer& server) {
    auto complain = [](const QString& message) {
        std::fprintf(stderr, "pelora: %s\n", qPrintable(message));
        return 1;
    };
    switch (server.listen()) {
    case InstanceServer::ListenResult::listening:
        return std::nullopt;
    case InstanceServer::ListenResult::failed:
        complain(server.errorString() + QStringLiteral("; running without taking commands"));
        return std::nullopt;
    case InstanceServer::ListenResult::foreignSocket:
        return complain(server.errorString());
    case InstanceServer::ListenResult::anotherInstanceRunning:
        break;
    }
    const QJsonObject activate{{QLatin1String(P::keyCommand), QLatin1String(P::commandActivate)}};
    // Whatever the answer, a second strip and tray icon are not wanted.
    const InstanceReply reply = sendInstanceRequest(server.socketPath(), activate);
    // The other one quit in the meantime: this start takes its place.
    if (reply.status == InstanceReply::Status::noInstance &&
        server.listen() != InstanceServer::ListenResult::anotherInstanceRunning)
        return std::nullopt;
    if (reply.status != InstanceReply::Status::answered)
        return complain(QStringLiteral("a Pelora seems to run but does not answer on %1 (%2)")
                            .arg(server.socketPath(), reply.error));
    return 0;
}
