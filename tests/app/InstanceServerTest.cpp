#include "app/InstanceServer.h"
#include "app/InstanceCommands.h"
#include "app/InstanceProtocol.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QLocalSocket>
#include <QMenu>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Records what the instance was asked to do.
class RecordingCommands : public InstanceCommands {
public:
    QStringList calls;
    void activate() override { calls << QStringLiteral("activate"); }
    void popup(StripModule module, bool toggle) override {
        calls << rawValue(module) + (toggle ? QStringLiteral(" toggle") : QString());
    }
    std::unique_ptr<QMenu> menu(StripModule) override { return std::make_unique<QMenu>(); }
    bool isStripVisible() const override { return true; }
    void setStripVisible(bool) override { calls << QStringLiteral("strip"); }
    void showSettings() override { calls << QStringLiteral("settings"); }
    void showAbout() override { calls << QStringLiteral("about"); }
    void checkForUpdates() override { calls << QStringLiteral("check-updates"); }
    void quit() override { calls << QStringLiteral("quit"); }
};

// A peer on the socket, as another local program may be; this thread's event loop serves it.
struct Peer : QLocalSocket {
    explicit Peer(const QString& path) {
        connectToServer(path);
        waitUntil([&] { return state() == ConnectedState; });
    }
    // What the reply says, "ok" or its error, once the server has closed the connection.
    QString reply() {
        if (!waitUntil([&] { return state() == UnconnectedState; }))
            return QStringLiteral("left open");
        const auto reply = InstanceProtocol::decode(readAll().split('\n').first());
        if (!reply)
            return QStringLiteral("no reply");
        return reply->value("ok").toBool() ? QStringLiteral("ok")
                                           : reply->value("error").toString();
    }
};

class InstanceServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.listen(), InstanceServer::ListenResult::listening);
        server.setCommands(&commands);
    }
    // Arriving in pieces is fine.
    QString send(const QByteArray& frame) {
        Peer peer(path);
        peer.write(frame.left(5));
        drainEvents();
        peer.write(frame.mid(5));
        return peer.reply();
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("pelora.socket"));
    InstanceServer server{path};
    RecordingCommands commands;
};
} // namespace

TEST_F(InstanceServerTest, WhatItCannotCarryOutIsRefusedWithoutActingAndTheServerGoesOn) {
    const QByteArray huge(InstanceProtocol::maxRequestSize + 10, 'x');
    const std::pair<QByteArray, const char*> cases[] = {
        {"{\"command\":\"popup\",\"module\":\"tasks\"}\n", "has no button"},
        {"{\"command\":\"menu\",\"module\":\"Documents\"}\n", "unknown module \"Documents\""},
        {"{\"command\":\"menu\"}\n", "unknown module"},
        {"{\"command\":\"menu\",\"module\":7}\n", "unknown module"},
        {"{\"command\":\"strip\",\"action\":\"flip\"}\n", "unknown strip action"},
        {"{\"command\":\"format-disk\"}\n", "unknown command"},
        {"{\"command\":[\"about\"]}\n", "unknown command"},
        {"hello\n", "malformed request"},
        {"\xff\xfe{\"command\"\n", "malformed request"},
        // Larger than any request, with or without its newline: cut off early.
        {huge, "request too large"},
        {huge + '\n', "request too large"},
    };
    for (const auto& [frame, error] : cases)
        EXPECT_TRUE(send(frame).contains(QLatin1String(error))) << frame.left(60).toStdString();
    drainEvents(5);
    EXPECT_TRUE(commands.calls.isEmpty()) << commands.calls.join(u',').toStdString();

    EXPECT_EQ(send("{\"command\":\"popup\",\"module\":\"documents\"}\n"), "ok");
    EXPECT_TRUE(waitUntil([&] { return commands.calls == QStringList{"documents"}; }));
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
    // Before the controllers exist, requests are refused rather than lost in silence.
    server.setCommands(nullptr);
    EXPECT_EQ(send("{\"command\":\"about\"}\n"), "Pelora is still starting");
}

TEST_F(InstanceServerTest, SilentPeersDoNotHoldUpOthersAndAreDroppedAfterTheTimeout) {
    // With a timeout far beyond the test, the others are served while the silent ones wait,
    // even when they take every place: the one that waited longest gives up its own.
    server.setConnectionTimeout(600000);
    std::vector<std::unique_ptr<Peer>> silent;
    for (int i = 0; i < InstanceServer::maxConnections; ++i)
        silent.push_back(std::make_unique<Peer>(path));
    // A peer that sends half a request is just as silent.
    silent.front()->write("{\"command\":");
    ASSERT_TRUE(
        waitUntil([&] { return server.openConnections() == InstanceServer::maxConnections; }));
    EXPECT_EQ(send("{\"command\":\"about\"}\n"), "ok");
    EXPECT_NE(silent.front()->reply(), QStringLiteral("left open")) << "gave up its place";
    for (size_t i = 1; i < silent.size(); ++i)
        EXPECT_EQ(silent[i]->state(), QLocalSocket::ConnectedState) << i;
    silent.clear();
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));

    // With a short one, a silent peer is told so and dropped.
    server.setConnectionTimeout(100);
    EXPECT_EQ(Peer(path).reply(), QStringLiteral("no request received in time"));
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
