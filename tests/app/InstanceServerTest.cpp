#include "app/InstanceServer.h"
#include "app/InstanceClient.h"
#include "app/InstanceCommands.h"
#include "app/InstanceProtocol.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace P = InstanceProtocol;

namespace {
// Records what the instance was asked to do.
class RecordingCommands : public InstanceCommands {
public:
    QStringList calls;
    bool stripVisible = true;

    void activate() override { calls << QStringLiteral("activate"); }
    void popup(StripModule module) override {
        calls << QStringLiteral("popup ") + rawValue(module);
    }
    std::unique_ptr<QMenu> menu(StripModule module) override {
        calls << QStringLiteral("menu ") + rawValue(module);
        auto menu = std::make_unique<QMenu>(QStringLiteral("Clipboard"));
        menu->addAction(QStringLiteral("Clipboard History"))->setEnabled(false);
        menu->addAction(QStringLiteral("hello world"));
        menu->addSeparator();
        menu->addAction(QStringLiteral("Clear"));
        return menu;
    }
    bool isStripVisible() const override { return stripVisible; }
    void setStripVisible(bool visible) override {
        stripVisible = visible;
        calls << (visible ? QStringLiteral("show strip") : QStringLiteral("hide strip"));
    }
    void showSettings() override { calls << QStringLiteral("settings"); }
    void showAbout() override { calls << QStringLiteral("about"); }
    void checkForUpdates() override { calls << QStringLiteral("check-updates"); }
    void quit() override { calls << QStringLiteral("quit"); }
};

QJsonObject request(const char* command, const char* key = nullptr, const char* value = nullptr) {
    QJsonObject message{{QLatin1String(P::keyCommand), QLatin1String(command)}};
    if (key)
        message.insert(QLatin1String(key), QLatin1String(value));
    return message;
}

// The blocking client runs on its own thread, as it would in its own process, while this
// thread's event loop serves it.
InstanceReply ask(const QString& path, const QJsonObject& message, int timeoutMs = 10000) {
    auto future = std::async(std::launch::async, [path, message, timeoutMs] {
        return sendInstanceRequest(path, message, timeoutMs);
    });
    waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              timeoutMs + 5000);
    return future.get();
}

bool isOk(const InstanceReply& reply) {
    return reply.status == InstanceReply::Status::answered &&
           reply.body.value(QLatin1String(P::keyOk)).toBool();
}
QString errorOf(const InstanceReply& reply) {
    return reply.body.value(QLatin1String(P::keyError)).toString();
}

// A peer on the socket that writes raw bytes and collects what comes back, without blocking.
struct RawPeer {
    QLocalSocket socket;
    QByteArray received;

    explicit RawPeer(const QString& path) {
        QObject::connect(&socket, &QLocalSocket::readyRead,
                         [this] { received += socket.readAll(); });
        socket.connectToServer(path);
    }
    bool connected() {
        return waitUntil([&] { return socket.state() == QLocalSocket::ConnectedState; });
    }
    bool closedByServer() {
        return waitUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; });
    }
    QString replyError() const {
        const auto reply = P::decode(received.left(received.indexOf('\n')));
        return reply ? reply->value(QLatin1String(P::keyError)).toString() : QString();
    }
};

class InstanceServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("pelora.socket"));
    }
    // Lets queued effects (popup, quit, ...) run.
    void settle() { drainEvents(5); }

    QTemporaryDir dir;
    QString path;
    RecordingCommands commands;
};
} // namespace

TEST_F(InstanceServerTest, AnswersEachCommandAndActsAfterReplying) {
    InstanceServer server(path);
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening)
        << server.errorString().toStdString();
    // Only the user may connect.
    EXPECT_EQ(QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                               QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());

    // Before the controllers exist, requests are refused rather than lost in silence.
    const InstanceReply early = ask(path, request(P::commandAbout));
    EXPECT_FALSE(isOk(early));
    EXPECT_TRUE(errorOf(early).contains(QLatin1String("starting")));

    server.setCommands(&commands);
    EXPECT_TRUE(isOk(ask(path, request(P::commandPopup, P::keyModule, "documents"))));
    settle();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("popup documents")});

    const InstanceReply menu = ask(path, request(P::commandMenu, P::keyModule, "clipboard"));
    ASSERT_TRUE(isOk(menu));
    const QJsonObject json = menu.body.value(QLatin1String(P::keyMenu)).toObject();
    EXPECT_EQ(json.value(QLatin1String("title")).toString(), QStringLiteral("Clipboard"));
    EXPECT_EQ(json.value(QLatin1String("items")).toArray().size(), 4);

    const InstanceReply toggled = ask(path, request(P::commandStrip, P::keyAction, "toggle"));
    ASSERT_TRUE(isOk(toggled));
    EXPECT_FALSE(toggled.body.value(QLatin1String(P::keyStripVisible)).toBool(true));
    EXPECT_FALSE(commands.stripVisible);
    EXPECT_TRUE(isOk(ask(path, request(P::commandStrip, P::keyAction, "show"))));
    EXPECT_TRUE(commands.stripVisible);

    for (const char* command : {P::commandSettings, P::commandAbout, P::commandCheckUpdates,
                                P::commandActivate, P::commandQuit})
        EXPECT_TRUE(isOk(ask(path, request(command)))) << command;
    settle();
    EXPECT_EQ(commands.calls.mid(2),
              (QStringList{QStringLiteral("hide strip"), QStringLiteral("show strip"),
                           QStringLiteral("settings"), QStringLiteral("about"),
                           QStringLiteral("check-updates"), QStringLiteral("activate"),
                           QStringLiteral("quit")}));
}

TEST_F(InstanceServerTest, RefusesWhatItCannotDoWithoutActing) {
    InstanceServer server(path);
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
    server.setCommands(&commands);

    // Another local program may send anything; the instance checks it again.
    const InstanceReply noButton = ask(path, request(P::commandPopup, P::keyModule, "tasks"));
    EXPECT_FALSE(isOk(noButton));
    EXPECT_TRUE(errorOf(noButton).contains(QLatin1String("no button")));
    EXPECT_FALSE(isOk(ask(path, request(P::commandMenu, P::keyModule, "Documents"))));
    EXPECT_FALSE(isOk(ask(path, request(P::commandMenu))));
    EXPECT_FALSE(isOk(ask(path, request(P::commandStrip, P::keyAction, "flip"))));
    const InstanceReply unknown = ask(path, request("format-disk"));
    EXPECT_TRUE(errorOf(unknown).contains(QLatin1String("unknown command")));
    settle();
    EXPECT_TRUE(commands.calls.isEmpty()) << commands.calls.join(u',').toStdString();
}

TEST_F(InstanceServerTest, GarbageAndOversizedRequestsGetAnErrorAndTheServerGoesOn) {
    InstanceServer server(path);
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
    server.setCommands(&commands);

    for (const QByteArray& garbage : {QByteArray("hello\n"), QByteArray("[1, 2, 3]\n"),
                                      QByteArray("\xff\xfe{\"command\"\n"), QByteArray("\n")}) {
        RawPeer peer(path);
        ASSERT_TRUE(peer.connected());
        peer.socket.write(garbage);
        ASSERT_TRUE(peer.closedByServer()) << garbage.toStdString();
        EXPECT_EQ(peer.replyError(), QStringLiteral("malformed request"));
    }

    // A frame larger than any request, with or without its newline, is cut off early.
    for (const bool withNewline : {false, true}) {
        RawPeer peer(path);
        ASSERT_TRUE(peer.connected());
        QByteArray huge(P::maxRequestSize + 10, 'x');
        if (withNewline)
            huge += '\n';
        peer.socket.write(huge);
        ASSERT_TRUE(peer.closedByServer());
        EXPECT_EQ(peer.replyError(), QStringLiteral("request too large"));
    }
    // Arriving in pieces is fine.
    {
        RawPeer peer(path);
        ASSERT_TRUE(peer.connected());
        const QByteArray frame = P::encode(request(P::commandAbout));
        peer.socket.write(frame.left(5));
        drainEvents();
        peer.socket.write(frame.mid(5));
        ASSERT_TRUE(peer.closedByServer());
        EXPECT_TRUE(P::decode(peer.received.trimmed())->value(QLatin1String(P::keyOk)).toBool());
    }

    EXPECT_TRUE(isOk(ask(path, request(P::commandSettings))));
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
    settle();
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("about"), QStringLiteral("settings")}));
}

TEST_F(InstanceServerTest, SilentPeersDoNotHoldUpOthersAndAreDroppedAfterTheTimeout) {
    InstanceServer server(path);
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
    server.setCommands(&commands);

    // With a timeout far beyond the test, the others are served while the silent ones wait,
    // even when they take every place: the one that waited longest gives up its own.
    server.setConnectionTimeout(600000);
    std::vector<std::unique_ptr<RawPeer>> silent;
    for (int i = 0; i < InstanceServer::maxConnections; ++i) {
        silent.push_back(std::make_unique<RawPeer>(path));
        ASSERT_TRUE(silent.back()->connected());
    }
    // A peer that sends half a request is just as silent.
    silent.front()->socket.write("{\"command\":");
    ASSERT_TRUE(
        waitUntil([&] { return server.openConnections() == InstanceServer::maxConnections; }));
    EXPECT_TRUE(isOk(ask(path, request(P::commandPopup, P::keyModule, "folders"))));
    settle();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("popup folders")});
    EXPECT_TRUE(silent.front()->closedByServer());
    for (size_t i = 1; i < silent.size(); ++i) {
        EXPECT_EQ(silent[i]->socket.state(), QLocalSocket::ConnectedState) << i;
        EXPECT_TRUE(silent[i]->received.isEmpty());
    }
    EXPECT_TRUE(
        waitUntil([&] { return server.openConnections() == InstanceServer::maxConnections - 1; }));
    silent.clear();
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));

    // With a short one, a silent peer is told so and dropped.
    server.setConnectionTimeout(100);
    RawPeer peer(path);
    ASSERT_TRUE(peer.connected());
    ASSERT_TRUE(peer.closedByServer());
    EXPECT_EQ(peer.replyError(), QStringLiteral("no request received in time"));
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
}

TEST_F(InstanceServerTest, ASecondStartFindsTheFirstAndHandsOver) {
    auto first = std::make_unique<InstanceServer>(path);
    ASSERT_EQ(first->listen(), InstanceServer::ListenResult::listening);
    first->setCommands(&commands);

    // The second start runs as its own process would, while this thread serves the first.
    auto second = std::async(std::launch::async, [this] {
        InstanceServer server(path);
        const std::optional<int> status = claimInstance(server);
        return std::make_pair(status, server.isListening());
    });
    ASSERT_TRUE(waitUntil(
        [&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const auto [status, secondListens] = second.get();
    EXPECT_EQ(status, std::optional<int>(0));
    EXPECT_FALSE(secondListens);
    settle();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("activate")});
    // The probe left the first one's socket in place and working.
    EXPECT_TRUE(isOk(ask(path, request(P::commandAbout))));

    // Once the first has quit, its socket is gone and the next start takes over.
    first.reset();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(ask(path, request(P::commandActivate)).status, InstanceReply::Status::noInstance);
    InstanceServer third(path);
    EXPECT_EQ(claimInstance(third), std::nullopt);
    EXPECT_TRUE(third.isListening());
    // Claiming again is harmless.
    EXPECT_EQ(third.listen(), InstanceServer::ListenResult::listening);
}

TEST_F(InstanceServerTest, ASocketLeftByACrashIsReplaced) {
    // A crashed instance leaves its socket file behind, with nobody listening on it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(size_t(native.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, native.constData(), native.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo(path).exists());

    EXPECT_EQ(ask(path, request(P::commandActivate)).status, InstanceReply::Status::noInstance);
    InstanceServer server(path);
    ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening)
        << server.errorString().toStdString();
    server.setCommands(&commands);
    EXPECT_TRUE(isOk(ask(path, request(P::commandAbout))));

    // So is a plain file in its place.
    InstanceServer other(dir.filePath(QStringLiteral("other.socket")));
    QFile leftover(other.socketPath());
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    EXPECT_EQ(other.listen(), InstanceServer::ListenResult::listening);
}

TEST_F(InstanceServerTest, ASocketOfAnotherUserIsReplacedWithoutSpeakingToIt) {
    // Another user's server on the socket, as a start under sudo would leave it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), native.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    if (::chown(native.constData(), 65534, 65534) != 0) {
        ::close(fd);
        GTEST_SKIP() << "cannot give the socket to another user";
    }

    InstanceServer server(path);
    EXPECT_EQ(claimInstance(server), std::nullopt) << server.errorString().toStdString();
    EXPECT_TRUE(server.isListening());
    EXPECT_EQ(QFileInfo(path).ownerId(), uint(geteuid()));
    EXPECT_LT(::accept(fd, nullptr, nullptr), 0) << "the stranger was spoken to";
    ::close(fd);
}

TEST(InstanceSocketPath, PrefersTheRuntimeFolderElseAPrivateTemporaryOne) {
    QTemporaryDir runtime;
    QTemporaryDir temp;
    QTemporaryDir shared; // a runtime folder others may write to, where they could bind first
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777)));
    QString error;
    EXPECT_EQ(instanceSocketPath(runtime.path(), temp.path(), &error),
              runtime.filePath(QStringLiteral("pelora.socket")));

    const QString fallback = temp.filePath(QStringLiteral("pelora-%1").arg(geteuid()));
    for (const QString& missingRuntime :
         {QString(), runtime.filePath(QStringLiteral("gone")), shared.path()}) {
        EXPECT_EQ(instanceSocketPath(missingRuntime, temp.path(), &error),
                  fallback + QStringLiteral("/pelora.socket"));
        EXPECT_EQ(QFileInfo(fallback).permissions() & QFileDevice::Permissions(0x0077),
                  QFileDevice::Permissions());
    }

    // A folder opened up to others is closed again.
    QFile::setPermissions(fallback, QFileDevice::Permissions(0x7777));
    EXPECT_FALSE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
    EXPECT_EQ(QFileInfo(fallback).permissions() & QFileDevice::Permissions(0x0077),
              QFileDevice::Permissions());

    // Something planted in its place is not used.
    QTemporaryDir planted;
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    ASSERT_TRUE(QFile::link(planted.path(), fallback));
    EXPECT_TRUE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    QFile::remove(fallback);
    QFile plain(fallback);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_TRUE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
}
