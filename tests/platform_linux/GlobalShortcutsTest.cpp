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

// sway, played on the test's main thread, reads only while that thread is free.
TEST(GlobalShortcuts, SwayIsAskedOnceOffTheMainThreadWhetherOrNotItAnswers) {
    QLocalServer server;
    ASSERT_TRUE(
        server.listen(QStringLiteral("pelora-sway-%1").arg(QCoreApplication::applicationPid())));
    const EnvOverride socket("SWAYSOCK", server.fullServerName());
    const QStringList commands{QStringLiteral("[app_id=\"^a$\"] move scratchpad"),
                               QStringLiteral("[app_id=\"^b$\"] move scratchpad")};
    const quint32 header[2] = {36, 0}; // the length of the results below; run_command
    const QByteArray answer = "i3-ipc" + QByteArray(reinterpret_cast<const char*>(header), 8) +
                              R"([{"success":true},{"success":false}])";
    for (const bool answers : {false, true}) {
        QByteArray received;
        std::optional<SwayIpc::Reply> reply;
        SwayIpc sway(2000);
        sway.send(commands, nullptr, [&](const SwayIpc::Reply& r) { reply = r; });
        ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
        std::unique_ptr<QLocalSocket> peer(server.nextPendingConnection());
        ASSERT_TRUE(waitUntil(
            [&] { return (received += peer->readAll()).endsWith("b$\"] move scratchpad"); }));
        EXPECT_TRUE(!reply) << "the whole message came while its reply was awaited";
        if (answers)
            peer->write(answer);
        EXPECT_TRUE(waitUntil([&] { return reply.has_value(); }));
        EXPECT_FALSE(server.hasPendingConnections()) << "one connection";
        EXPECT_EQ(received.mid(14), commands.join("; ").toUtf8());
        EXPECT_EQ(reply.value_or(SwayIpc::Reply{}).answered, answers);
        EXPECT_EQ(reply.value_or(SwayIpc::Reply{}).succeeded.size(), answers ? 2 : 0);
    }
}
