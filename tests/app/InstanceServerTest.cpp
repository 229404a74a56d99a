#include "app/InstanceServer.h"
#include "app/InstanceClient.h"
#include "app/InstanceCommands.h"
#include "app/InstanceProtocol.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    void activate() override { calls << QStringLiteral("activate"); }
    void popup(StripModule module) override {
        calls << QStringLiteral("popup ") + rawValue(module);
    }
    std::unique_ptr<QMenu> menu(StripModule) override { return std::make_unique<QMenu>(); }
    bool isStripVisible() const override { return true; }
    void setStripVisible(bool) override { calls << QStringLiteral("strip"); }
    void showSettings() override { calls << QStringLiteral("settings"); }
    void showAbout() override { calls << QStringLiteral("about"); }
    void checkForUpdates() override { calls << QStringLiteral("check-updates"); }
    void quit() override { calls << QStringLiteral("quit"); }
};

// The blocking client runs on its own thread, as it would in its own process, while this
// thread's event loop serves it.
InstanceReply ask(const QString& path, const QByteArray& json) {
    const QJsonObject message = *P::decode(json);
    auto future = std::async(std::launch::async,
                             [path, message] { return sendInstanceRequest(path, message, 10000); });
    waitUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              15000);
    return future.get();
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
        ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
        server.setCommands(&commands);
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("pelora.socket"));
    InstanceServer server{path};
    RecordingCommands commands;
};
} // namespace

TEST_F(InstanceServerTest, RequestsItCannotCarryOutAreRefusedWithoutActing) {
    // Another local program may send anything; the instance checks it again.
    const std::pair<const char*, const char*> cases[] = {
        {R"({"command":"popup","module":"tasks"})", "no button"},
        {R"({"command":"menu","module":"Documents"})", "unknown module"},
        {R"({"command":"menu"})", "unknown module"},
        {R"({"command":"menu","module":7})", "unknown module"},
        {R"({"command":"strip","action":"flip"})", "unknown strip action"},
        {R"({"command":"format-disk"})", "unknown command"},
        {R"({"command":["about"]})", "unknown command"},
    };
    for (const auto& [request, error] : cases) {
        const InstanceReply reply = ask(path, request);
        EXPECT_EQ(reply.status, InstanceReply::Status::answered) << request;
        EXPECT_FALSE(reply.body.value(QLatin1String(P::keyOk)).toBool()) << request;
        EXPECT_TRUE(
            reply.body.value(QLatin1String(P::keyError)).toString().contains(QLatin1String(error)))
            << request;
    }
    // Before the controllers exist, requests are refused rather than lost in silence.
    server.setCommands(nullptr);
    const InstanceReply early = ask(path, R"({"command":"about"})");
    EXPECT_TRUE(early.body.value(QLatin1String(P::keyError)).toString().contains("starting"));
    drainEvents(5);
    EXPECT_TRUE(commands.calls.isEmpty()) << commands.calls.join(u',').toStdString();
}

TEST_F(InstanceServerTest, GarbageAndOversizedFramesGetAnErrorAndTheServerGoesOn) {
    const QByteArray huge(P::maxRequestSize + 10, 'x');
    const std::pair<QByteArray, const char*> cases[] = {
        {"hello\n", "malformed request"},
        {"[1, 2, 3]\n", "malformed request"},
        {"\xff\xfe{\"command\"\n", "malformed request"},
        {"\n", "malformed request"},
        // Larger than any request, with or without its newline: cut off early.
        {huge, "request too large"},
        {huge + '\n', "request too large"},
    };
    for (const auto& [frame, error] : cases) {
        RawPeer peer(path);
        ASSERT_TRUE(peer.connected());
        peer.socket.write(frame);
        ASSERT_TRUE(peer.closedByServer()) << error;
        EXPECT_EQ(peer.replyError(), QLatin1String(error));
    }
    // Arriving in pieces is fine.
    RawPeer peer(path);
    ASSERT_TRUE(peer.connected());
    const QByteArray frame = P::encode(*P::decode(R"({"command":"about"})"));
    peer.socket.write(frame.left(5));
    drainEvents();
    peer.socket.write(frame.mid(5));
    ASSERT_TRUE(peer.closedByServer());
    EXPECT_TRUE(P::decode(peer.received.trimmed())->value(QLatin1String(P::keyOk)).toBool());
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
    drainEvents(5);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("about")});
}

TEST_F(InstanceServerTest, SilentPeersDoNotHoldUpOthersAndAreDroppedAfterTheTimeout) {
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
    EXPECT_TRUE(ask(path, R"({"command":"popup","module":"folders"})").body.value("ok").toBool());
    drainEvents(5);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("popup folders")});
    EXPECT_TRUE(silent.front()->closedByServer());
    for (size_t i = 1; i < silent.size(); ++i)
        EXPECT_EQ(silent[i]->socket.state(), QLocalSocket::ConnectedState) << i;
    silent.clear();
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));

    // With a short one, a silent peer is told so and dropped.
    server.setConnectionTimeout(100);
    RawPeer peer(path);
    ASSERT_TRUE(peer.connected());
    ASSERT_TRUE(peer.closedByServer());
    EXPECT_EQ(peer.replyError(), QStringLiteral("no request received in time"));
}

TEST(InstanceSocket, APlainFileOrAnotherUsersSocketInItsPlaceIsReplacedWithoutSpeakingToIt) {
    QTemporaryDir dir;
    InstanceServer other(dir.filePath(QStringLiteral("other.socket")));
    writeFile(other.socketPath(), "");
    EXPECT_EQ(other.listen(), InstanceServer::ListenResult::listening);

    // Another user's server on the socket, as a start under sudo would leave it.
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("pelora.socket")));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::memcpy(address.sun_path, path.constData(), path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    if (::chown(path.constData(), 65534, 65534) != 0) {
        ::close(fd);
        GTEST_SKIP() << "cannot give the socket to another user";
    }
    InstanceServer server(QFile::decodeName(path));
    EXPECT_EQ(claimInstance(server), std::nullopt) << server.errorString().toStdString();
    EXPECT_EQ(QFileInfo(server.socketPath()).ownerId(), uint(geteuid()));
    EXPECT_LT(::accept(fd, nullptr, nullptr), 0) << "the stranger was spoken to";
    ::close(fd);
}

TEST(InstanceSocket, PrefersTheRuntimeFolderElseAPrivateTemporaryOne) {
    QTemporaryDir runtime, temp;
    QTemporaryDir shared; // a runtime folder others may write to, where they could bind first
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777)));
    QString error;
    EXPECT_EQ(instanceSocketPath(runtime.path(), temp.path(), &error),
              runtime.filePath(QStringLiteral("pelora.socket")));
    const QString fallback = temp.filePath(QStringLiteral("pelora-%1").arg(geteuid()));
    const auto closedToOthers = [&] {
        return (QFileInfo(fallback).permissions() & QFileDevice::Permissions(0x0077)) == 0;
    };
    for (const QString& missingRuntime :
         {QString(), runtime.filePath(QStringLiteral("gone")), shared.path()}) {
        EXPECT_EQ(instanceSocketPath(missingRuntime, temp.path(), &error),
                  fallback + QStringLiteral("/pelora.socket"));
        EXPECT_TRUE(closedToOthers());
    }
    // A folder opened up to others is closed again.
    QFile::setPermissions(fallback, QFileDevice::Permissions(0x7777));
    EXPECT_FALSE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
    EXPECT_TRUE(closedToOthers());

    // Something planted in its place is not used.
    QTemporaryDir planted;
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    ASSERT_TRUE(QFile::link(planted.path(), fallback));
    EXPECT_TRUE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    QFile::remove(fallback);
    writeFile(fallback, "");
    EXPECT_TRUE(instanceSocketPath(QString(), temp.path(), &error).isEmpty());
}
