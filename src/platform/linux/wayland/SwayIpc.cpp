#include "platform/linux/wayland/SwayIpc.h"

#include "platform/MainQueue.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <cstring>
#include <optional>

namespace {
constexpr char kMagic[] = "i3-ipc";
constexpr qsizetype kMagicLength = 6;
constexpr quint32 kRunCommand = 0;
constexpr quint32 kGetTree = 4;
constexpr quint32 kMaxReply = 1 << 20;
} // namespace

SwayIpc::SwayIpc(int timeoutMs) : timeoutMs_(timeoutMs) {
    // One thread: messages go in the order they were sent.
    worker_.setMaxThreadCount(1);
    worker_.setObjectName(QStringLiteral("SwayIpc"));
}

SwayIpc::~SwayIpc() {
    worker_.waitForDone();
}

bool SwayIpc::isAvailable() {
    return !qEnvironmentVariableIsEmpty("SWAYSOCK");
}

void SwayIpc::send(const QStringList& commands, QObject* context,
                   std::function<void(const Reply&)> done) {
    if (commands.isEmpty())
        return;
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    worker_.start([commands, timeoutMs = timeoutMs_, guard, guarded, done = std::move(done)] {
        const Reply reply = exchange(commands, timeoutMs);
        if (!done)
            return;
        runLaterOnMain([guard, guarded, done, reply] {
            if (!guarded || guard)
                done(reply);
        });
    });
}

void SwayIpc::post(std::function<void()> job) {
    worker_.start(std::move(job));
}

QByteArray SwayIpc::frame(quint32 type, const QByteArray& payload) {
    QByteArray message(kMagic, kMagicLength);
    // The header's numbers are in the machine's byte order.
    const quint32 header[2] = {quint32(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    return message + payload;
}

std::optional<SwayIpc::Message> SwayIpc::takeMessage(QByteArray& received, bool& broken) {
    constexpr qsizetype header = kMagicLength + 8;
    broken = false;
    if (received.size() < header)
        return std::nullopt;
    quint32 numbers[2]; // length, type
    std::memcpy(numbers, received.constData() + kMagicLength, sizeof numbers);
    if (!received.startsWith(kMagic) || numbers[0] > kMaxReply) {
        broken = true;
        return std::nullopt;
    }
    if (received.size() < header + qsizetype(numbers[0]))
        return std::nullopt;
    Message message{numbers[1], received.mid(header, numbers[0])};
    received.remove(0, header + numbers[0]);
    return message;
}

namespace {
// One request and its reply's payload; nothing when sway does not answer in time.
std::optional<QByteArray> request(quint32 type, const QByteArray& payload, int timeoutMs) {
    if (!SwayIpc::isAvailable())
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(qEnvironmentVariable("SWAYSOCK"));
    const QDeadlineTimer deadline(timeoutMs);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return std::nullopt;
    socket.write(SwayIpc::frame(type, payload));
    QByteArray reply;
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return std::nullopt;
        reply += socket.readAll();
        bool broken = false;
        if (auto message = SwayIpc::takeMessage(reply, broken))
            return std::move(message->payload);
        if (broken)
            return std::nullopt;
    }
    return std::nullopt;
}
} // namespace

SwayIpc::Reply SwayIpc::exchange(const QStringList& commands, int timeoutMs) {
    const std::optional<QByteArray> payload =
        request(kRunCommand, commands.join(QStringLiteral("; ")).toUtf8(), timeoutMs);
    if (!payload)
        return {};
    Reply result;
    result.answered = true;
    for (const auto& one : QJsonDocument::fromJson(*payload).array())
        result.succeeded.append(one.toObject().value(QStringLiteral("success")).toBool());
    return result;
}

QList<SwayIpc::Window> SwayIpc::windows(int timeoutMs) {
    const std::optional<QByteArray> reply = request(kGetTree, {}, timeoutMs);
    if (!reply)
        return {};
    QList<Window> found;
    const auto walk = [&found](const auto& self, const QJsonObject& node, bool floating,
                               bool hidden) -> void {
        const QString type = node.value(QStringLiteral("type")).toString();
        hidden = hidden || (type == u"workspace" &&
                            node.value(QStringLiteral("name")).toString() == u"__i3_scratch");
        if (node.contains(QStringLiteral("pid"))) {
            // XWayland windows have no app id; the compositor lists them by their class.
            QString appId = node.value(QStringLiteral("app_id")).toString();
            if (appId.isEmpty())
                appId = node.value(QStringLiteral("window_properties"))
                            .toObject()
                            .value(QStringLiteral("class"))
                            .toString();
            found.append(
                {node.value(QStringLiteral("id")).toInteger(), appId.left(1024), floating, hidden});
        }
        for (const auto& child : node.value(QStringLiteral("nodes")).toArray())
            self(self, child.toObject(), floating, hidden);
        for (const auto& child : node.value(QStringLiteral("floating_nodes")).toArray())
            self(self, child.toObject(), true, hidden);
    };
    walk(walk, QJsonDocument::fromJson(*reply).object(), false, false);
    return found;
}
