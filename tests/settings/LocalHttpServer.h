#pragma once

#include <memory>

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

// A web server on 127.0.0.1 that answers every request with one canned response, or never
// answers at all, and records the requests it received. With TLS set up it serves https.
class LocalHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool sendContentLength = true; // else the end of the connection ends the body
        bool stall = false;            // read the request, then say nothing
        int trickleMs = 0;             // else send the body one byte this often
    };

    Response response;
    QList<QByteArray> requests; // the request heads, as received
    qint64 bytesSent = 0;       // what the peers took, heads and bodies

    explicit LocalHttpServer(QSslServer* tlsServer = nullptr)
        : server_(tlsServer ? static_cast<QTcpServer*>(tlsServer) : new QTcpServer(this)) {
        if (tlsServer) {
            tlsServer->setParent(this);
            connect(tlsServer, &QSslServer::sslErrors, this,
                    [](QSslSocket* socket, const QList<QSslError>&) { socket->abort(); });
        }
        connect(server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection())
                serve(socket);
        });
        server_->listen(QHostAddress::LocalHost);
        scheme_ = tlsServer ? "https" : "http";
    }

    bool isListening() const { return server_->isListening(); }
    QUrl url(const QString& path = QStringLiteral("/version_checking/Pelora.xml")) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                        .arg(QString::fromLatin1(scheme_))
                        .arg(server_->serverPort())
                        .arg(path));
    }

    static QByteArray document(const QByteArray& inner) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<pelora>\n" + inner + "\n</pelora>\n";
    }

private:
    void serve(QTcpSocket* socket) {
        // Owned by the connection below, so it goes with the socket or the server alike.
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) { bytesSent += n; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            requests << buffer->left(end);
            buffer->clear();
            if (response.stall)
                return;
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                              response.reason + "\r\nContent-Type: " + response.contentType +
                              "\r\nConnection: close\r\n";
            if (response.sendContentLength)
                head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            for (const auto& [name, value] : response.headers)
                head += name + ": " + value + "\r\n";
            socket->write(head + "\r\n");
            if (response.trickleMs > 0) {
                auto* timer = new QTimer(socket);
                connect(timer, &QTimer::timeout, socket,
                        [socket, body = response.body, at = 0]() mutable {
                            if (at < body.size())
                                socket->write(body.mid(at++, 1));
                            else
                                socket->disconnectFromHost();
                        });
                timer->start(response.trickleMs);
                return;
            }
            socket->write(response.body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer* server_;
    QByteArray scheme_;
};
