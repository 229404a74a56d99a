#include "platform/linux/LinuxWorkspace.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {

QString env(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

// Desktop entries and mimeapps.list in the test's own XDG folders, and scripts that leave a
// marker file saying how they were started.
class LinuxWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        apps = env("XDG_DATA_HOME") + QStringLiteral("/applications");
        QDir().mkpath(apps);
        QDir().mkpath(env("XDG_CONFIG_HOME"));
    }
    void TearDown() override {
        for (const QString& f : written)
            QFile::remove(f);
        QFile::remove(mimeappsList());
    }

    QString mimeappsList() const {
        return env("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list");
    }

    // A program that writes its arguments to <marker> and its launch facts to <marker>.env.
    QString recorderScript(const QString& marker) {
        const QString script = work.path() + QStringLiteral("/record-") +
                               QFileInfo(marker).fileName() + QStringLiteral(".sh");
        writeFile(script,
                  "#!/bin/sh\nprintf '%s' \"$GIO_LAUNCHED_DESKTOP_FILE\" > '" +
                      QFile::encodeName(marker) + ".env'\nprintf '%s\\n' \"$@\" > '" +
                      QFile::encodeName(marker) + ".tmp'\nmv '" + QFile::encodeName(marker) +
                      ".tmp' '" + QFile::encodeName(marker) + "'\n",
                  true);
        return script;
    }
    QString writeEntry(const QString& id, const QByteArray& body) {
        const QString path = apps + u'/' + id;
        writeFile(path, "[Desktop Entry]\nType=Application\n" + body);
        written << path;
        return path;
    }
    void writeMimeapps(const QByteArray& defaults) {
        writeFile(mimeappsList(), "[Default Applications]\n" + defaults);
    }

    QTemporaryDir work;
    QString apps;
    QStringList written;
};

TEST_F(LinuxWorkspaceTest, DefaultApplicationFollowsMimeappsListFromAnyThread) {
    const QString marker = work.path() + QStringLiteral("/opened");
    const QString handler = writeEntry(
        QStringLiteral("pelora-test-handler.desktop"),
        "Name=Handler\nMimeType=text/plain;\nExec=" + recorderScript(marker).toUtf8() + " %f\n");
    const QString other = writeEntry(QStringLiteral("pelora-test-other.desktop"),
                                     "Name=Other\nMimeType=text/plain;\nExec=true %f\n");
    const QString note = work.path() + QStringLiteral("/note.txt");
    writeFile(note, "hello\n");
    writeMimeapps("text/plain=pelora-test-handler.desktop\n");

    LinuxWorkspace workspace;
    const QUrl noteURL = QUrl::fromLocalFile(note);
    // GIO learns about new entries through a file monitor.
    ASSERT_TRUE(waitUntil(
        [&] { return workspace.applicationToOpenURL(noteURL) == QUrl::fromLocalFile(handler); }));
    std::optional<QUrl> fromThread;
    std::thread([&] { fromThread = workspace.applicationToOpenURL(noteURL); }).join();
    EXPECT_EQ(fromThread, QUrl::fromLocalFile(handler));
    // A file that is gone still has a default application by its name.
    EXPECT_EQ(workspace.applicationToOpenURL(QUrl::fromLocalFile(work.path() + "/gone.txt")),
              QUrl::fromLocalFile(handler));

    writeMimeapps("text/plain=pelora-test-other.desktop\n");
    EXPECT_TRUE(waitUntil(
        [&] { return workspace.applicationToOpenURL(noteURL) == QUrl::fromLocalFile(other); }));
}

TEST_F(LinuxWorkspaceTest, SchemesWithoutHandlerHaveNoDefaultApplication) {
    LinuxWorkspace workspace;
    const QUrl url(QStringLiteral("pelora-test-scheme://thing"));
    EXPECT_FALSE(workspace.applicationToOpenURL(url));
    EXPECT_FALSE(workspace.applicationToOpenURL(QUrl()));
    EXPECT_FALSE(workspace.openURL(url)) << "nothing handles the scheme";
    EXPECT_FALSE(workspace.openURL(QUrl::fromLocalFile(work.path() + QStringLiteral("/missing"))));
    EXPECT_FALSE(workspace.openURL(QUrl()));

    const QString handler =
        writeEntry(QStringLiteral("pelora-test-scheme.desktop"),
                   "Name=Scheme\nMimeType=x-scheme-handler/pelora-test-scheme;\nExec=true %u\n");
    writeMimeapps("x-scheme-handler/pelora-test-scheme=pelora-test-scheme.desktop\n");
    EXPECT_TRUE(waitUntil(
        [&] { return workspace.applicationToOpenURL(url) == QUrl::fromLocalFile(handler); }));
}

TEST_F(LinuxWorkspaceTest, LaunchesDesktopEntriesAndApplicationFolders) {
    const QString marker = work.path() + QStringLiteral("/launched");
    const QString entry =
        writeEntry(QStringLiteral("pelora-test-launch.desktop"),
                   "Name=Launch Me\nExec=" + recorderScript(marker).toUtf8() + " first-arg\n");
    LinuxWorkspace workspace;
    EXPECT_TRUE(workspace.launchApplication(QUrl::fromLocalFile(entry), true));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));
    EXPECT_EQ(readFile(marker), QByteArray("first-arg\n"));
    // The launched process can be traced back to its entry.
    EXPECT_EQ(readFile(marker + QStringLiteral(".env")), entry.toUtf8());

    const QString bundleMarker = work.path() + QStringLiteral("/bundle");
    const QString bundle = work.path() + QStringLiteral("/Tool.app");
    writeFile(bundle + QStringLiteral("/Contents/MacOS/tool"),
              readFile(recorderScript(bundleMarker)), true);
    EXPECT_TRUE(workspace.launchApplication(QUrl::fromLocalFile(bundle), true));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(bundleMarker); }));

    // The program each starts, through a link as /proc/PID/exe would show it.
    const QString link = work.path() + QStringLiteral("/tool-link");
    ASSERT_TRUE(QFile::link(bundle + QStringLiteral("/Contents/MacOS/tool"), link));
    const QString linked = writeEntry(QStringLiteral("pelora-test-linked.desktop"),
                                      "Name=Linked\nExec=\"" + link.toUtf8() + "\" --x\n");
    const QString tool =
        QFileInfo(bundle + QStringLiteral("/Contents/MacOS/tool")).canonicalFilePath();
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(bundle)), tool);
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(linked)), tool);

    const QString missingProgram = writeEntry(QStringLiteral("pelora-test-missing.desktop"),
                                              "Name=Missing\nExec=/nonexistent/program\n");
    EXPECT_FALSE(workspace.launchApplication(QUrl::fromLocalFile(missingProgram), true));
    EXPECT_EQ(workspace.applicationExecutablePath(QUrl::fromLocalFile(missingProgram)), QString());
    EXPECT_FALSE(
        workspace.launchApplication(QUrl::fromLocalFile(apps + "/pelora-none.desktop"), true));
    const QString text = work.path() + QStringLiteral("/plain.txt");
    writeFile(text, "x");
    EXPECT_FALSE(workspace.launchApplication(QUrl::fromLocalFile(text), true));
    EXPECT_FALSE(workspace.launchApplication(QUrl(QStringLiteral("https://example.org/")), true));
}

QString writePng(const QString& path, QColor color) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    image.save(path, "PNG");
    return path;
}

TEST_F(LinuxWorkspaceTest, IconNamesForEntriesFoldersAndFiles) {
    LinuxWorkspace workspace;
    const QString red = writePng(work.path() + QStringLiteral("/red.png"), Qt::red);
    const QString withPath = writeEntry(QStringLiteral("pelora-test-icon-path.desktop"),
                                        "Name=P\nExec=true\nIcon=" + red.toUtf8() + "\n");
    const QString withName = writeEntry(QStringLiteral("pelora-test-icon-name.desktop"),
                                        "Name=N\nExec=true\nIcon=utilities-terminal.png\n");
    const QString without =
        writeEntry(QStringLiteral("pelora-test-icon-none.desktop"), "Name=None\nExec=true\n");
    const QString note = work.path() + QStringLiteral("/note.txt");
    writeFile(note, "text");

    EXPECT_EQ(workspace.iconNameForFile(withPath), red);
    EXPECT_EQ(workspace.iconNameForFile(withName),
              QStringLiteral("utilities-terminal\napplication-x-executable"));
    EXPECT_EQ(workspace.iconNameForFile(without), QStringLiteral("application-x-executable"));
    EXPECT_EQ(workspace.iconNameForFile(work.path()), QStringLiteral("folder"));
    EXPECT_TRUE(
        workspace.iconNameForFile(QDir::homePath()).startsWith(QStringLiteral("user-home")));
    const QStringList noteNames = workspace.iconNameForFile(note).split(u'\n');
    EXPECT_EQ(noteNames.first(), QStringLiteral("text-plain"));
    EXPECT_TRUE(noteNames.contains(QStringLiteral("text-x-generic")));

    QString fromThread;
    std::thread([&] { fromThread = workspace.iconNameForFile(note); }).join();
    EXPECT_EQ(fromThread, workspace.iconNameForFile(note));

    // The entry's own image is what shows.
    const QImage shown = workspace.iconForFile(withPath).pixmap(16, 16).toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixelColor(8, 8), QColor(Qt::red));
}

TEST_F(LinuxWorkspaceTest, IconsAreNeverNull) {
    LinuxWorkspace workspace;
    const QString notAnImage = work.path() + QStringLiteral("/fake.png");
    writeFile(notAnImage, "not an image");
    for (const QString& name :
         {QString(), QStringLiteral("pelora-no-such-icon"), QStringLiteral("/missing/icon.png"),
          notAnImage, QStringLiteral("folder"), QStringLiteral("\n\n")}) {
        const QIcon icon = workspace.iconForName(name);
        EXPECT_FALSE(icon.isNull()) << qPrintable(name);
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << qPrintable(name);
    }
    for (const QString& type : {QStringLiteral("txt"), QStringLiteral("public.folder"),
                                QStringLiteral("public.data"), QStringLiteral("zzz-unknown"),
                                QStringLiteral("app"), QStringLiteral("image/png"), QString()})
        EXPECT_FALSE(workspace.iconForFileType(type).pixmap(16, 16).isNull()) << qPrintable(type);
    EXPECT_FALSE(workspace.iconForFile(work.path() + QStringLiteral("/missing")).isNull());
}

TEST_F(LinuxWorkspaceTest, AFullIconThemeIsChosenWithoutADesktopSession) {
    if (!QFileInfo::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "no Adwaita icon theme installed";
    LinuxWorkspace workspace;
    EXPECT_NE(QIcon::themeName(), QStringLiteral("hicolor"));
    EXPECT_FALSE(QIcon::fromTheme(QStringLiteral("folder")).isNull());
    // The folder type shows the theme's folder, not a generic stand-in.
    EXPECT_EQ(workspace.iconForFileType(QStringLiteral("public.folder")).pixmap(16, 16).toImage(),
              QIcon::fromTheme(QStringLiteral("folder")).pixmap(16, 16).toImage());
    EXPECT_NE(workspace.iconForFileType(QStringLiteral("public.folder")).pixmap(16, 16).toImage(),
              workspace.iconForFileType(QStringLiteral("txt")).pixmap(16, 16).toImage());
}

} // namespace
