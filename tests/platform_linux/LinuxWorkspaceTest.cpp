#include "platform/linux/LinuxWorkspace.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

// Entries and mimeapps.list go where GIO first looked, and keeps watching. Opening with the
// default handler and launching entries are the menus script's and the window tests'.
class LinuxWorkspaceTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const QString& f : written)
            QFile::remove(f);
    }
    QString write(const char* xdg, const QString& name, const QByteArray& text) {
        written << writeFile(qEnvironmentVariable(xdg) + u'/' + name, text);
        return written.last();
    }
    TempTree work;
    QStringList written;
};

TEST_F(LinuxWorkspaceTest, DefaultApplicationFollowsMimeappsListFromAnyThread) {
    LinuxWorkspace workspace;
    const QUrl scheme(u"pelora-test://thing"_s);
    for (const QUrl& url : {scheme, work.url(u"missing"_s), QUrl()})
        EXPECT_FALSE(workspace.openURL(url)) << url.toString().toStdString();
    EXPECT_FALSE(workspace.applicationToOpenURL(scheme));

    const QUrl handler = QUrl::fromLocalFile(
        write("XDG_DATA_HOME", u"applications/pelora-test-handler.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=H\nMimeType=x-scheme-handler/"
              "pelora-test;text/plain;\nExec=true %u\n"));
    write("XDG_CONFIG_HOME", u"mimeapps.list"_s,
          "[Default Applications]\nx-scheme-handler/pelora-test=pelora-test-handler.desktop\n"
          "text/plain=pelora-test-handler.desktop\n");
    EXPECT_TRUE(waitUntil([&] { return workspace.applicationToOpenURL(scheme) == handler; }));
    // A file that is gone still has a default application by its name; any thread may ask.
    std::optional<QUrl> fromThread;
    std::thread([&] {
        fromThread = workspace.applicationToOpenURL(work.url(u"gone.txt"_s));
    }).join();
    EXPECT_EQ(fromThread, handler);
}

TEST_F(LinuxWorkspaceTest, LaunchesApplicationFoldersAndRefusesWhatIsNoApplication) {
    LinuxWorkspace workspace;
    const QString marker = work.path(u"launched"_s);
    const QString tool = work.add(u"Tool.app/Contents/MacOS/tool"_s,
                                  "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_TRUE(workspace.launchApplication(work.url(u"Tool.app"_s), true));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));
    // The program an entry starts is found through links, as /proc/PID/exe shows it.
    const QString link = work.add("tool-link -> "_L1 + tool);
    const QString linked = work.add(u"linked.desktop"_s, "[Desktop Entry]\nType=Application\n"
                                                         "Name=L\nExec=\"" +
                                                             link.toUtf8() + "\" --x\n");
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(linked)), tool);
    const QString missing = work.add(u"missing.desktop"_s, "[Desktop Entry]\nType=Application\n"
                                                           "Name=M\nExec=/nonexistent/x\n");
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(missing)), QString());
    for (const QUrl& app :
         {QUrl::fromLocalFile(missing), work.url(u"none.desktop"_s),
          QUrl::fromLocalFile(work.add(u"plain.txt"_s)), QUrl(u"https://x.org/"_s)})
        EXPECT_FALSE(workspace.launchApplication(app, true)) << app.toString().toStdString();
}

TEST_F(LinuxWorkspaceTest, IconsComeFromTheThemeOrTheEntryAndAreNeverNull) {
    LinuxWorkspace workspace;
    // A full theme even without a desktop session: the folder type shows the theme's folder.
    if (QFileInfo::exists(u"/usr/share/icons/Adwaita/index.theme"_s)) {
        EXPECT_EQ(workspace.iconForFileType(u"public.folder"_s).pixmap(16).toImage(),
                  QIcon::fromTheme(u"folder"_s).pixmap(16).toImage());
    }
    EXPECT_EQ(workspace.iconNameForFile(work.root()), u"folder"_s);
    EXPECT_TRUE(workspace.iconNameForFile(work.add(u"n.txt"_s)).startsWith(u"text-plain\n"_s));
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    red.save(work.path(u"red.png"_s));
    const QString own = work.add(u"own.desktop"_s, "[Desktop Entry]\nType=Application\nName=O\n"
                                                   "Icon=" +
                                                       work.path(u"red.png"_s).toUtf8() + '\n');
    EXPECT_EQ(workspace.iconForFile(own).pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
    for (const QString& name : {QString(), u"pelora-no-such-icon"_s, u"/missing/icon.png"_s,
                                work.add(u"fake.png"_s, "not an image"), u"\n\n"_s})
        EXPECT_FALSE(workspace.iconForName(name).pixmap(16).isNull()) << name.toStdString();
    for (const QString& type : {u"txt"_s, u"public.data"_s, u"zzz-unknown"_s, u"app"_s, QString()})
        EXPECT_FALSE(workspace.iconForFileType(type).pixmap(16).isNull()) << type.toStdString();
    EXPECT_FALSE(workspace.iconForFile(work.path(u"missing"_s)).isNull());
}
