#include "platform/linux/wayland/SwayGlobalShortcuts.h"
#include "platform/linux/x11/X11GlobalShortcuts.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <gtest/gtest.h>

TEST(GlobalShortcuts, KeysAreNamedAsSwayAndTheXServerKnowThem) {
    const struct {
        const char* key;
        const char* sway;
        uint32_t keysym;
        uint16_t mask;
    } cases[] = {
        {"Meta+Shift+V", "Mod4+Shift+v", 'v', XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT},
        {"Ctrl+Alt+F12", "Ctrl+Mod1+F12", 0xffc9, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1},
        {"Ctrl+PgDown", "Ctrl+Next", 0xff56, XCB_MOD_MASK_CONTROL},
        {"Alt+-", "Mod1+minus", '-', XCB_MOD_MASK_1},
        {"Ctrl+Volume Up", "", 0, XCB_MOD_MASK_CONTROL}, // neither binds it
    };
    for (const auto& c : cases) {
        const QKeyCombination key =
            QKeySequence::fromString(QLatin1String(c.key), QKeySequence::PortableText)[0];
        EXPECT_EQ(SwayGlobalShortcuts::swayKeyName(key), QLatin1String(c.sway)) << c.key;
        EXPECT_EQ(X11GlobalShortcuts::keysymForKey(key.key()), c.keysym) << c.key;
        EXPECT_EQ(X11GlobalShortcuts::modifierMask(key.keyboardModifiers()), c.mask) << c.key;
    }
}

TEST(GlobalShortcuts, SwayRunsOnlyCommandsNothingInThemCanChange) {
    const QString program = QStringLiteral("/home/u/Applications/Pelora.app/Contents/MacOS/pelora");
    EXPECT_EQ(SwayGlobalShortcuts::bindCommand(QStringLiteral("Mod4+Shift+v"), program,
                                               QStringLiteral("clipboard")),
              "bindsym --no-repeat Mod4+Shift+v exec '" + program + "' popup --toggle clipboard");
    for (const char* path : {"/home/o'brien/pelora", "/a b/pelora", "/x;exit/pelora", "/x\"/p"})
        EXPECT_TRUE(SwayGlobalShortcuts::bindCommand(QStringLiteral("Mod4+v"),
                                                     QString::fromUtf8(path),
                                                     QStringLiteral("clipboard"))
                        .isEmpty())
            << path;
    EXPECT_TRUE(
        SwayGlobalShortcuts::bindCommand({}, program, QStringLiteral("clipboard")).isEmpty());
}

// sway is played on the test's main thread, so it reads what it is sent only while that
// thread is free: a silent sway must not hold it, and one that answers must be heard.
TEST(GlobalShortcuts, SwayIsAskedOnceOffTheMainThreadWhetherOrNotItAnswers) {
    const TempTree dir;
    QLocalServer server;
    ASSERT_TRUE(server.listen(dir.path(QStringLiteral("sway.sock"))));
    const EnvOverride socket("SWAYSOCK", server.fullServerName());
    const QStringList commands{QStringLiteral("[app_id=\"^a$\"] move scratchpad"),
                               QStringLiteral("[app_id=\"^b$\"] move scratchpad")};
    const QByteArray payload = commands.join(QStringLiteral("; ")).toUtf8();
    for (const bool answers : {false, true}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        QList<QLocalSocket*> peers;
        QByteArray received;
        auto connection = QObject::connect(&server, &QLocalServer::newConnection, [&] {
            QLocalSocket* peer = server.nextPendingConnection();
            peers << peer;
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [&, peer] {
                received += peer->readAll();
                const QByteArray body = R"([{"success":true},{"success":false}])";
                const quint32 header[2] = {quint32(body.size()), 0};
                if (answers && received.endsWith(payload))
                    peer->write(QByteArray("i3-ipc") +
                                QByteArray(reinterpret_cast<const char*>(header), 8) + body);
            });
        });
        std::optional<SwayIpc::Reply> reply;
        {
            SwayIpc sway(2000);
            sway.send(commands, nullptr, [&](const SwayIpc::Reply& r) { reply = r; });
            ASSERT_TRUE(waitUntil([&] { return received.endsWith(payload); }));
            EXPECT_TRUE(answers || !reply) << "the whole message came while the reply was awaited";
            EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }));
        }
        EXPECT_EQ(peers.size(), 1);
        const QList<bool> results = answers ? QList<bool>{true, false} : QList<bool>{};
        EXPECT_EQ(reply.value_or(SwayIpc::Reply{}).answered, answers);
        EXPECT_EQ(reply.value_or(SwayIpc::Reply{}).succeeded, results);
        QObject::disconnect(connection);
        qDeleteAll(peers);
    }
}
