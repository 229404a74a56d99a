#include "platform/linux/xdg/XdgAutostartLoginItems.h"
#include "support/TempTree.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The settings window's switch registers and unregisters through this in the settings tests.
class XdgAutostart : public ::testing::Test {
protected:
    TempTree tree;
    QString executable = writeFile(tree.path(u"Apps/Pelora.app/Contents/MacOS/pelora"_s), "", true);
    const QString autostart = tree.path(u"config/autostart"_s),
                  entry = autostart + u"/pelora.desktop"_s;
    XdgAutostartLoginItems items() const { return {executable, u"Pelora"_s, autostart}; }
};

TEST_F(XdgAutostart, TheEntryMakesGioStartThisExecutableWhateverItsPath) {
    for (const QString& bundle :
         {u"Apps/Pelora.app"_s, u"My Apps \"new\" $HOME `x` \\ it's/P.app"_s}) {
        executable = writeFile(tree.path(bundle + u"/Contents/MacOS/pelora"_s), "", true);
        ASSERT_EQ(items().registerLoginItem(), std::nullopt);
        EXPECT_EQ(items().status(), LoginItemStatus::enabled);
        // GIO is what desktop sessions start autostart entries with.
        GDesktopAppInfo* info =
            g_desktop_app_info_new_from_filename(QFile::encodeName(entry).constData());
        ASSERT_NE(info, nullptr);
        gchar** argv = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), nullptr, &argv,
                                       nullptr));
        EXPECT_EQ(QString::fromUtf8(argv[0]), executable);
        g_strfreev(argv);
        g_object_unref(info);
    }
}

TEST_F(XdgAutostart, OnlyAnActiveEntryForThisExecutableCountsAsEnabled) {
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=P\n";
    const QByteArray exec = "Exec=" + QFile::encodeName(executable) + " --quiet\n";
    const QString link = tree.add(u"link -> "_s + executable);
    const std::pair<QByteArray, LoginItemStatus> cases[] = {
        {head + exec, LoginItemStatus::enabled},
        {head + "Exec=" + QFile::encodeName(link), LoginItemStatus::enabled},
        {head + "Hidden=true\n" + exec, LoginItemStatus::notRegistered},
        {head + "X-GNOME-Autostart-enabled=false\n" + exec, LoginItemStatus::notRegistered},
        {head + "Exec=/opt/other/pelora\n", LoginItemStatus::notRegistered},
        {head, LoginItemStatus::notRegistered},
        {"[Desktop Entry]\nExec=\"unterminated\n", LoginItemStatus::notRegistered},
        {"\xff\xfe garbage without groups", LoginItemStatus::notRegistered},
        {"|", LoginItemStatus::notRegistered}}; // a FIFO: reading must not wait for a writer
    for (const auto& [text, expected] : cases) {
        QFile::remove(entry);
        text == "|" ? void(tree.add(u"config/autostart/pelora.desktop|"_s))
                    : void(writeFile(entry, text));
        EXPECT_EQ(items().status(), expected) << text.toStdString();
    }
    // Registering replaces a switched-off entry with an active one.
    QFile::remove(entry);
    writeFile(entry, head + "Hidden=true\n" + exec);
    ASSERT_EQ(items().registerLoginItem(), std::nullopt);
    EXPECT_EQ(items().status(), LoginItemStatus::enabled);
    // Without its executable there is nothing to start.
    QFile::remove(executable);
    EXPECT_EQ(items().status(), LoginItemStatus::notFound);
    EXPECT_TRUE(items().registerLoginItem().has_value());
}

TEST_F(XdgAutostart, AFolderThatRefusesTheChangeIsTheServicesErrorAndChangesNothing) {
    // A file in the folder's place refuses every user, root included.
    writeFile(autostart, "not a folder");
    const auto error = items().registerLoginItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->message.isEmpty());
    EXPECT_EQ(readFile(autostart), QByteArray("not a folder"));
    EXPECT_EQ(items().status(), LoginItemStatus::notRegistered);
    // The folder by default is the configuration home's.
    const EnvOverride config("XDG_CONFIG_HOME", tree.path(u"elsewhere"_s));
    ASSERT_EQ(XdgAutostartLoginItems(executable, u"Pelora"_s).registerLoginItem(), std::nullopt);
    EXPECT_TRUE(QFile::exists(tree.path(u"elsewhere/autostart/pelora.desktop"_s)));
}
