#include "platform/linux/XdgAutostartLoginItems.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
// Whether a folder refuses new files for this process (not so for root).
bool refusesWrites(const QString& dir) {
    QFile probe(dir + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        return false;
    }
    return true;
}

class AutostartTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString executable;
    QString autostart;

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        makeExecutable(root.path() + QStringLiteral("/Applications/Pelora.app"));
        autostart = root.path() + QStringLiteral("/config/autostart");
    }
    void TearDown() override {
        // Let the temporary folder be removed after read-only cases.
        QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
    }
    void makeExecutable(const QString& bundle) {
        QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS"));
        executable = bundle + QStringLiteral("/Contents/MacOS/pelora");
        writeFile(executable, "#!/bin/sh\nexit 0\n", true);
    }
    XdgAutostartLoginItems items() const {
        return XdgAutostartLoginItems(executable, QStringLiteral("Pelora"), autostart);
    }
    // What GIO, which desktop sessions use to start autostart entries, makes of the entry.
    QString executableGioWouldRun() const {
        const QByteArray path = QFile::encodeName(autostart + QStringLiteral("/pelora.desktop"));
        GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(path.constData());
        if (!info)
            return {};
        gint argc = 0;
        gchar** argv = nullptr;
        QString program;
        if (g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), &argc, &argv,
                               nullptr) &&
            argc > 0)
            program = QString::fromUtf8(argv[0]);
        g_strfreev(argv);
        g_object_unref(info);
        return program;
    }
};
} // namespace

TEST_F(AutostartTest, RegisteringWritesAnEntryThatStartsThisExecutableAndUnregisteringDeletesIt) {
    XdgAutostartLoginItems login = items();
    EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);
    ASSERT_EQ(login.registerLoginItem(), std::nullopt);
    EXPECT_EQ(login.status(), LoginItemStatus::enabled);

    const QByteArray text = readFile(login.entryPath());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nName=Pelora\n"));
    EXPECT_TRUE(text.contains("\nHidden=false\n"));
    EXPECT_TRUE(text.contains("\nX-GNOME-Autostart-enabled=true\n"));
    EXPECT_EQ(executableGioWouldRun(), executable);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(autostart).entryList(QDir::Files), QStringList{"pelora.desktop"});

    ASSERT_EQ(login.unregisterLoginItem(), std::nullopt);
    EXPECT_FALSE(QFile::exists(login.entryPath()));
    EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);
    // Nothing to delete is no failure.
    EXPECT_EQ(login.unregisterLoginItem(), std::nullopt);
    // A FIFO in its place is no entry, and reading it must not wait for a writer.
    ASSERT_EQ(mkfifo(QFile::encodeName(login.entryPath()).constData(), 0600), 0);
    EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);
}

TEST_F(AutostartTest, PathsWithBlanksQuotesAndShellCharactersSurviveTheExecLine) {
    makeExecutable(root.path() + QStringLiteral("/My Apps \"new\" $HOME `x` \\ it's/Pelora.app"));
    XdgAutostartLoginItems login = items();
    ASSERT_EQ(login.registerLoginItem(), std::nullopt);
    EXPECT_EQ(login.status(), LoginItemStatus::enabled);
    EXPECT_EQ(executableGioWouldRun(), executable);
}

TEST_F(AutostartTest, OnlyAnActiveEntryForThisExecutableCountsAsEnabled) {
    QDir().mkpath(autostart);
    const QString entry = autostart + QStringLiteral("/pelora.desktop");
    const QByteArray exec = "Exec=" + QFile::encodeName(executable) + " --quiet\n";
    struct Case {
        QByteArray text;
        LoginItemStatus expected;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nName=P\n" + exec, LoginItemStatus::enabled},
        {"[Desktop Entry]\nType=Application\nName=P\nHidden=true\n" + exec,
         LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nType=Application\nName=P\nX-GNOME-Autostart-enabled=false\n" + exec,
         LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nType=Application\nName=P\nExec=/opt/other/pelora\n",
         LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nType=Application\nName=P\n", LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nExec=\"unterminated\n", LoginItemStatus::notRegistered},
        {"\xff\xfe garbage without groups", LoginItemStatus::notRegistered},
    };
    for (const Case& c : cases) {
        writeFile(entry, c.text);
        EXPECT_EQ(items().status(), c.expected) << c.text.toStdString();
    }

    // A path through a symbolic link names the same executable.
    const QString link = root.path() + QStringLiteral("/pelora-link");
    ASSERT_TRUE(QFile::link(executable, link));
    writeFile(entry,
              "[Desktop Entry]\nType=Application\nName=P\nExec=" + QFile::encodeName(link) + "\n");
    EXPECT_EQ(items().status(), LoginItemStatus::enabled);

    // Registering replaces a switched-off entry with an active one.
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=P\nHidden=true\n" + exec);
    ASSERT_EQ(items().registerLoginItem(), std::nullopt);
    EXPECT_EQ(items().status(), LoginItemStatus::enabled);
}

TEST_F(AutostartTest, AMissingExecutableIsNotFoundAndCannotBeRegistered) {
    QFile::remove(executable);
    EXPECT_EQ(items().status(), LoginItemStatus::notFound);
    EXPECT_TRUE(items().registerLoginItem().has_value());
    EXPECT_FALSE(QFile::exists(items().entryPath()));
}

TEST_F(AutostartTest, AFolderThatCannotBeWrittenIsTheServicesError) {
    // An existing entry, switched off, must come through the failed change intact.
    QDir().mkpath(autostart);
    const QByteArray hidden = "[Desktop Entry]\nType=Application\nName=P\nHidden=true\nExec=" +
                              QFile::encodeName(executable) + "\n";
    writeFile(autostart + QStringLiteral("/pelora.desktop"), hidden);
    QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!refusesWrites(autostart))
        GTEST_SKIP() << "this user may write into read-only folders";

    const auto error = items().registerLoginItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->message.isEmpty());
    EXPECT_EQ(readFile(autostart + QStringLiteral("/pelora.desktop")), hidden);
    EXPECT_EQ(items().status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(QDir(autostart).entryList(QDir::Files), QStringList{"pelora.desktop"});

    // An enabled entry in a read-only folder cannot be deleted either.
    QFile::setPermissions(autostart,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(items().registerLoginItem(), std::nullopt);
    QFile::setPermissions(autostart, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(items().unregisterLoginItem().has_value());
    EXPECT_EQ(items().status(), LoginItemStatus::enabled);
}

TEST_F(AutostartTest, AnAutostartPathTakenByAFileIsTheServicesError) {
    // Fails for every user, root included.
    QDir().mkpath(root.path() + QStringLiteral("/config"));
    writeFile(autostart, "not a folder");
    const auto error = items().registerLoginItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->message.isEmpty());
    EXPECT_EQ(items().status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(readFile(autostart), QByteArray("not a folder"));
}

TEST_F(AutostartTest, TheDefaultFolderFollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.path() + QStringLiteral("/elsewhere")));
    XdgAutostartLoginItems login(executable, QStringLiteral("Pelora"));
    EXPECT_EQ(login.entryPath(),
              root.path() + QStringLiteral("/elsewhere/autostart/pelora.desktop"));
    const auto error = login.registerLoginItem();
    EXPECT_EQ(login.status(), LoginItemStatus::enabled);
    qputenv("XDG_CONFIG_HOME", saved);
    ASSERT_EQ(error, std::nullopt);
    EXPECT_TRUE(QFile::exists(root.path() + QStringLiteral("/elsewhere/autostart/pelora.desktop")));
}
