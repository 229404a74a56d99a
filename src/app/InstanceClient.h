#pragma once

#include <QJsonObject>
#include <QString>

// The asking end: another start of the program sends one request to the running instance and
// waits for its reply. Blocking, for a short-lived process that has nothing else to do.
struct InstanceReply {
    enum class Status {
        answered,   // body holds the instance's reply, which may still report an error
        noInstance, // nobody listens on the socket
        failed,     // the instance did not answer properly; error says why
    };
    Status status = Status::failed;
    QJsonObject body;
    QString error;
};

InstanceReply sendInstanceRequest(const QString& socketPath, const QJsonObject& request,
                                  int timeoutMs = 10000);
