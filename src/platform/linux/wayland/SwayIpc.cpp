#include "platform/linux/wayland/SwayIpc.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRegularExpression>
#include <cstring>

namespace {
constexpr char kMagic[] = "i3-ipc";
constexpr qsizetype kMagicLength = 6;
constexpr quint32 kRunCommand = 0;
constexpr quint32 kMaxReply = 1 << 20;
} // namespace

bool SwayIpc::isAvailable() {
    return !qEnvironmentVariableIsEmpty("SWAYSOCK");
}

bool SwayIpc::runCommand(const QString& command, int timeoutMs) {
    if (!isAvailable())
        return false;
    QLocalSocket socket;
    socket.connectToServer(qEnvironmentVariable("SWAYSOCK"));
    const QDeadlineTimer deadline(timeoutMs);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    const QByteArray payload = command.toUtf8();
    QByteArray message(kMagic, kMagicLength);
    // The header's numbers are in the machine's byte order.
    const quint32 header[2] = {quint32(payload.size()), kRunCommand};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message.append(payload);
    socket.write(message);
    QByteArray reply;
    quint32 expected = 0;
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        reply += socket.readAll();
        if (reply.size() >= kMagicLength + 8 && !expected) {
            std::memcpy(&expected, reply.constData() + kMagicLength, sizeof expected);
            if (!reply.startsWith(kMagic) || expected > kMaxReply)
                return false;
        }
        if (expected && reply.size() >= kMagicLength + 8 + qsizetype(expected))
            break;
    }
    if (!expected)
        return false;
    const QJsonArray results =
        QJsonDocument::fromJson(reply.mid(kMagicLength + 8, expected)).array();
    if (results.isEmpty())
        return false;
    for (const auto& result : results)
        if (!result.toObject().value(QStringLiteral("success")).toBool())
            return false;
    return true;
}

QString SwayIpc::appIdCriteria(const QString& appId) {
    // App ids come from other programs: only plain names, written so that no character of
    // them means anything to sway's command or pattern syntax.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._-]{1,255}$"));
    if (!plain.match(appId).hasMatch())
        return {};
    QString pattern = appId;
    pattern.replace(u'.', QStringLiteral("[.]"));
    return QStringLiteral("[app_id=\"^%1$\"]").arg(pattern);
}
