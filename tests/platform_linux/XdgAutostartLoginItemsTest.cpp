#include "platform/linux/XdgAutostartLoginItems.h"
#include "support/TempTree.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Registering and unregistering through the settings window's switch is in the settings tests.
class XdgAutostart : public ::testing::Test {
protected:
    TempTree tree;
    QString executable = writeFile(tree.path(u"Apps/Pelora.app/Contents/MacOS/pelora"_s), "", true);
    const QString autostart = tree.path(u"config/autostart"_s);
    const QString entry = autostart + u"/pelora.desktop"_s;

    XdgAutostartLoginItems items() const { return {executable, u"Pelora"_s, autostart}; }
    // What GIO, which desktop sessions start autostart entries with, would run.
    QString programGioRuns() const {
        GDesktopAppInfo* info =
            g_desktop_app_info_new_from_filename(QFile::encodeName(entry).constData());
        gchar** argv = nullptr;
        QString program;
        if (info && g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), nullptr, &argv,
                                       nullptr))
            program = QString::fromUtf8(argv[0]);
        g_strfreev(argv);
        if (info)
            g_object_unref(info);
        return program;
    }
};
} // namespace

TEST_F(XdgAutostart, TheEntryStartsThisExecutableWhateverItsPath) {
    for (const QString& bundle :
         {u"Apps/Pelora.app"_s, u"My Apps \"new\" $HOME `x` \\ it's/P.app"_s}) {
        executable = writeFile(tree.path(bundle + u"/Contents/MacOS/pelora"_s), "", true);
        ASSERT_EQ(items().registerLoginItem(), std::nullopt);
        EXPECT_EQ(items().status(), LoginItemStatus::enabled);
        EXPECT_EQ(programGioRuns(), executable);
        // No temporary file is left beside it.
        EXPECT_EQ(QDir(autostart).entryList(QDir::Files), QStringList{u"pelora.desktop"_s});
    }
    // Gone: nothing to delete is no failure; a FIFO in its place is no entry.
    ASSERT_EQ(items().unregisterLoginItem(), std::nullopt);
    EXPECT_EQ(items().unregisterLoginItem(), std::nullopt);
    tree.add(u"config/autostart/pelora.desktop|"_s);
    EXPECT_EQ(items().status(), LoginItemStatus::notRegistered);
}

TEST_F(XdgAutostart, OnlyAnActiveEntryForThisExecutableCountsAsEnabled) {
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=P\n";
    const QByteArray exec = "Exec=" + QFile::encodeName(executable) + " --quiet\n";
    const QByteArray link =
        "Exec=" + QFile::encodeName(tree.add(u"link -> "_s + executable)) + '\n';
    const std::pair<QByteArray, LoginItemStatus> cases[] = {
        {head + exec, LoginItemStatus::enabled},
        {head + link, LoginItemStatus::enabled},
        {head + "Hidden=true\n" + exec, LoginItemStatus::notRegistered},
        {head + "X-GNOME-Autostart-enabled=false\n" + exec, LoginItemStatus::notRegistered},
        {head + "Exec=/opt/other/pelora\n", LoginItemStatus::notRegistered},
        {head, LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nExec=\"unterminated\n", LoginItemStatus::notRegistered},
        {"\xff\xfe garbage without groups", LoginItemStatus::notRegistered}};
    for (const auto& [text, expected] : cases) {
        writeFile(entry, text);
        EXPECT_EQ(items().status(), expected) << text.toStdString();
    }
    // Registering replaces a switched-off entry with an active one.
    writeFile(entry, head + "Hidden=true\n" + exec);
    ASSERT_EQ(items().registerLoginItem(), std::nullopt);
    EXPECT_EQ(items().status(), LoginItemStatus::enabled);

    QFile::remove(executable);
    EXPECT_EQ(items().status(), LoginItemStatus::notFound);
    EXPECT_TRUE(items().registerLoginItem().has_value());
}

TEST_F(XdgAutostart, AChangeTheFolderRefusesIsTheServicesErrorAndChangesNothing) {
    // A file in the folder's place fails for every user, root included.
    writeFile(autostart, "not a folder");
    const auto error = items().registerLoginItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->message.isEmpty());
    EXPECT_EQ(readFile(autostart), QByteArray("not a folder"));
    EXPECT_EQ(items().status(), LoginItemStatus::notRegistered);
}

TEST_F(XdgAutostart, TheDefaultFolderFollowsXdgConfigHome) {
    const EnvOverride config("XDG_CONFIG_HOME", tree.path(u"elsewhere"_s));
    XdgAutostartLoginItems login(executable, u"Pelora"_s);
    ASSERT_EQ(login.registerLoginItem(), std::nullopt);
    EXPECT_TRUE(QFile::exists(tree.path(u"elsewhere/autostart/pelora.desktop"_s)));
}
