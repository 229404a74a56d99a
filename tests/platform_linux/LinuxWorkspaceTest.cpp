#include "platform/linux/LinuxWorkspace.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Entries and mimeapps.list in the test's XDG folders: GIO keeps watching the folders it read
// first.
class LinuxWorkspaceTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const QString& f : written)
            QFile::remove(f);
    }
    QString write(const QString& path, const QByteArray& text) {
        written << writeFile(path, text);
        return path;
    }
    QString entry(const QString& id, const QByteArray& body) {
        return write(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/"_L1 + id,
                     "[Desktop Entry]\nType=Application\nName=" + id.toUtf8() + '\n' + body);
    }
    void mimeapps(const QByteArray& defaults) {
        write(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list"_L1,
              "[Default Applications]\n" + defaults);
    }
    TempTree work;
    QStringList written;
};

} // namespace

TEST_F(LinuxWorkspaceTest, DefaultApplicationFollowsMimeappsListFromAnyThread) {
    const QUrl handler = QUrl::fromLocalFile(
        entry(u"pelora-test-handler.desktop"_s, "MimeType=text/plain;\nExec=true %f\n"));
    const QUrl other = QUrl::fromLocalFile(
        entry(u"pelora-test-other.desktop"_s, "MimeType=text/plain;\nExec=true %f\n"));
    const QUrl note = QUrl::fromLocalFile(work.add(u"note.txt"_s, "hello\n"));
    mimeapps("text/plain=pelora-test-handler.desktop\n");

    LinuxWorkspace workspace;
    // GIO learns about new entries through a file monitor.
    ASSERT_TRUE(waitUntil([&] { return workspace.applicationToOpenURL(note) == handler; }));
    std::optional<QUrl> fromThread;
    std::thread([&] { fromThread = workspace.applicationToOpenURL(note); }).join();
    EXPECT_EQ(fromThread, handler);
    // A file that is gone still has a default application by its name.
    EXPECT_EQ(workspace.applicationToOpenURL(work.url(u"gone.txt"_s)), handler);

    mimeapps("text/plain=pelora-test-other.desktop\n");
    EXPECT_TRUE(waitUntil([&] { return workspace.applicationToOpenURL(note) == other; }));
}

TEST_F(LinuxWorkspaceTest, WhatCannotBeOpenedOrLaunchedIsRefused) {
    LinuxWorkspace workspace;
    const QUrl scheme(u"pelora-test-scheme://thing"_s);
    for (const QUrl& url : {scheme, work.url(u"missing"_s), QUrl()}) {
        EXPECT_FALSE(workspace.applicationToOpenURL(url)) << url.toString().toStdString();
        EXPECT_FALSE(workspace.openURL(url)) << url.toString().toStdString();
    }
    const QString missing = entry(u"pelora-test-missing.desktop"_s, "Exec=/nonexistent/x\n");
    for (const QUrl& app :
         {QUrl::fromLocalFile(missing), work.url(u"none.desktop"_s),
          QUrl::fromLocalFile(work.add(u"plain.txt"_s)), QUrl(u"https://example.org/"_s)})
        EXPECT_FALSE(workspace.launchApplication(app, true)) << app.toString().toStdString();
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(missing)), QString());

    // A scheme gains a handler as soon as one is declared.
    const QString handler = entry(u"pelora-test-scheme.desktop"_s,
                                  "MimeType=x-scheme-handler/pelora-test-scheme;\nExec=true %u\n");
    mimeapps("x-scheme-handler/pelora-test-scheme=pelora-test-scheme.desktop\n");
    EXPECT_TRUE(waitUntil(
        [&] { return workspace.applicationToOpenURL(scheme) == QUrl::fromLocalFile(handler); }));
}

// Desktop entries are launched through the window tests and the end-to-end scripts.
TEST_F(LinuxWorkspaceTest, LaunchesApplicationFoldersAndFindsProgramsThroughLinks) {
    LinuxWorkspace workspace;
    const QString marker = work.path(u"launched"_s);
    const QString tool = work.add(u"Tool.app/Contents/MacOS/tool"_s,
                                  "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_TRUE(workspace.launchApplication(work.url(u"Tool.app"_s), true));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));
    const QString link = work.add("tool-link -> "_L1 + tool);
    const QString linked =
        entry(u"pelora-test-linked.desktop"_s, "Exec=\"" + link.toUtf8() + "\" --x\n");
    EXPECT_EQ(workspace.applicationExecutablePath(work.url(u"Tool.app"_s)), tool);
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(linked)), tool);
}

TEST_F(LinuxWorkspaceTest, IconsComeFromTheThemeAndAreNeverNull) {
    LinuxWorkspace workspace;
    // A full theme even without a desktop session: the folder type shows the theme's folder.
    if (QFileInfo::exists(u"/usr/share/icons/Adwaita/index.theme"_s)) {
        EXPECT_NE(QIcon::themeName(), u"hicolor"_s);
        EXPECT_EQ(workspace.iconForFileType(u"public.folder"_s).pixmap(16).toImage(),
                  QIcon::fromTheme(u"folder"_s).pixmap(16).toImage());
    }
    const QString note = work.add(u"note.txt"_s, "text");
    EXPECT_EQ(workspace.iconNameForFile(work.root()), u"folder"_s);
    EXPECT_TRUE(workspace.iconNameForFile(QDir::homePath()).startsWith(u"user-home"_s));
    EXPECT_TRUE(workspace.iconNameForFile(note).startsWith(u"text-plain\n"_s));
    QString fromThread;
    std::thread([&] { fromThread = workspace.iconNameForFile(note); }).join();
    EXPECT_EQ(fromThread, workspace.iconNameForFile(note));

    // An entry's own image is what shows.
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    red.save(work.path(u"red.png"_s));
    const QString own =
        entry(u"pelora-test-icon.desktop"_s, "Icon=" + work.path(u"red.png"_s).toUtf8() + '\n');
    EXPECT_EQ(workspace.iconForFile(own).pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));

    for (const QString& name : {QString(), u"pelora-no-such-icon"_s, u"/missing/icon.png"_s,
                                work.add(u"fake.png"_s, "not an image"), u"\n\n"_s})
        EXPECT_FALSE(workspace.iconForName(name).pixmap(16).isNull()) << name.toStdString();
    for (const QString& type :
         {u"txt"_s, u"public.data"_s, u"zzz-unknown"_s, u"app"_s, u"image/png"_s, QString()})
        EXPECT_FALSE(workspace.iconForFileType(type).pixmap(16).isNull()) << type.toStdString();
    EXPECT_FALSE(workspace.iconForFile(work.path(u"missing"_s)).isNull());
}
