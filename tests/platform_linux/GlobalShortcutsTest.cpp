#include "platform/linux/gnome/GnomeShellShortcuts.h"
#include "platform/linux/kde/KGlobalAccelShortcuts.h"
#include "platform/linux/wayland/SwayGlobalShortcuts.h"
#include "platform/linux/x11/X11GlobalShortcuts.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QDBusMessage>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(GlobalShortcuts, KeysAreNamedAsSwayGnomeShellAndTheXServerKnowThem) {
    const struct {
        const char* key;
        const char* sway;
        const char* gnome;
        uint32_t keysym;
        uint16_t mask;
    } cases[] = {
        {"Meta+Shift+V", "Mod4+Shift+v", "<Super><Shift>v", 'v',
         XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT},
        {"Ctrl+Alt+F12", "Ctrl+Mod1+F12", "<Control><Alt>F12", 0xffc9,
         XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1},
        {"Ctrl+PgDown", "Ctrl+Next", "<Control>Next", 0xff56, XCB_MOD_MASK_CONTROL},
        {"Alt+-", "Mod1+minus", "<Alt>minus", '-', XCB_MOD_MASK_1},
        {"Ctrl+Volume Up", "", "", 0, XCB_MOD_MASK_CONTROL}, // none binds it
    };
    for (const auto& c : cases) {
        const QKeyCombination key =
            QKeySequence::fromString(QLatin1String(c.key), QKeySequence::PortableText)[0];
        EXPECT_EQ(SwayGlobalShortcuts::swayKeyName(key), QLatin1String(c.sway)) << c.key;
        EXPECT_EQ(GnomeShellShortcuts::acceleratorName(key), QLatin1String(c.gnome)) << c.key;
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

// KDE's shortcut service, faked: it records calls, and gives documents no key (held elsewhere).
class FakeKGlobalAccel : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KGlobalAccel")
public:
    QStringList calls;
public Q_SLOTS:
    void doRegister(const QStringList& id) { calls << "register " + id.join(u','); }
    QList<int> setShortcut(const QStringList& id, const QList<int>& keys, uint flags) {
        calls << QStringLiteral("set %1 %2 %3").arg(id[1]).arg(keys.value(0)).arg(flags);
        return id[1] == u"documents" ? QList<int>() : keys;
    }
    void unregister(const QString& component, const QString& name) {
        calls << "unregister " + component + " " + name;
    }
};

TEST(GlobalShortcuts, KdeServiceIsToldTheKeysAndItsPressesAnswered) {
    QTemporaryDir dir;
    QProcess daemon;
    const QString address = "unix:path=" + dir.filePath(QStringLiteral("bus"));
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--address=" + address});
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(dir.filePath(QStringLiteral("bus"))); }));
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
    FakeKGlobalAccel fake;
    ASSERT_TRUE(service.registerService(QStringLiteral("org.kde.kglobalaccel")));
    service.registerObject(QStringLiteral("/kglobalaccel"), &fake, QDBusConnection::ExportAllSlots);
    const QKeySequence metaShiftV(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_V);
    const QString v = QString::number(metaShiftV[0].toCombined());
    QStringList pressed,
        expected{"register org.pelora.Pelora,clipboard,Pelora,clipboard",
                 "set clipboard " + v + " 6",
                 "register org.pelora.Pelora,documents,Pelora,documents",
                 "set documents " + QString::number((Qt::CTRL | Qt::Key_D).toCombined()) + " 6",
                 "unregister org.pelora.Pelora documents"};
    {
        KGlobalAccelShortcuts shortcuts(QDBusConnection::connectToBus(address, "client"),
                                        QStringLiteral("org.pelora.Pelora"), "Pelora");
        QObject::connect(&shortcuts, &GlobalShortcuts::activated, [&](auto n) { pressed << n; });
        shortcuts.setShortcuts({{"clipboard", metaShiftV}, {"documents", QKeySequence("Ctrl+D")}});
        ASSERT_TRUE(waitUntil(
            [&] { return shortcuts.state("documents") == GlobalShortcuts::State::heldElsewhere; }));
        EXPECT_EQ(shortcuts.state("clipboard"), GlobalShortcuts::State::bound);
        for (const char* component : {"other", "org.pelora.Pelora"})
            service.send(QDBusMessage::createSignal("/component/org_pelora_Pelora",
                                                    "org.kde.kglobalaccel.Component",
                                                    "globalShortcutPressed")
                         << QString::fromLatin1(component) << QStringLiteral("clipboard")
                         << qlonglong(0));
        shortcuts.setShortcuts({{"clipboard", metaShiftV}});
        EXPECT_TRUE(waitUntil([&] { return fake.calls == expected && !pressed.isEmpty(); }))
            << fake.calls.join(u'\n').toStdString();
        EXPECT_EQ(pressed, QStringList{"clipboard"}); // the other component's press is not ours
    }                                                 // quitting releases the rest
    expected << "unregister org.pelora.Pelora clipboard";
    EXPECT_TRUE(waitUntil([&] { return fake.calls == expected; }));
}

#include "GlobalShortcutsTest.moc"
