#include "app/InstanceClient.h"

#include "app/InstanceProtocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace P = InstanceProtocol;

InstanceReply sendInstanceRequest(const QString& socketPath, const QJsonObject& request,
                                  int timeoutMs) {
    InstanceReply reply;
    if (socketPath.isEmpty()) {
        reply.status = InstanceReply::Status::noInstance;
        return reply;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        const auto error = socket.error();
        if (error == QLocalSocket::ServerNotFoundError ||
            error == QLocalSocket::ConnectionRefusedError) {
            reply.status = InstanceReply::Status::noInstance;
        } else {
            reply.error = socket.errorString();
        }
        return reply;
    }

    socket.write(P::encode(request));
    QByteArray buffer;
    while (true) {
        buffer += socket.readAll();
        if (const qsizetype end = buffer.indexOf('\n'); end >= 0) {
            if (const auto body = P::decode(buffer.left(end))) {
                reply.status = InstanceReply::Status::answered;
                reply.body = *body;
            } else {
                reply.error = QStringLiteral("the running instance sent a malformed reply");
            }
            return reply;
        }
        if (buffer.size() > P::maxReplySize) {
            reply.error = QStringLiteral("the running instance sent too much");
            return reply;
        }
        if (deadline.hasExpired()) {
            reply.error = QStringLiteral("the running instance did not answer in time");
            return reply;
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) {
            reply.error = QStringLiteral("the running instance closed the connection");
            return reply;
        }
        socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    }
}
