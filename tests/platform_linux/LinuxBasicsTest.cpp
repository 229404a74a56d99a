#include "platform/linux/LinuxBundle.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <tuple>

TEST(LinuxBundle, FindsTheBuiltBundleAroundTheExecutable) {
    LinuxBundle bundle(buildPath(QStringLiteral("Pelora.app/Contents/MacOS/pelora")));
    EXPECT_EQ(bundle.bundlePath(), QDir::cleanPath(buildPath(QStringLiteral("Pelora.app"))));
    EXPECT_EQ(bundle.infoValue(QStringLiteral("CFBundleName")), QStringLiteral("Pelora"));
    EXPECT_FALSE(bundle.infoValue(QStringLiteral("NoSuchKey")).has_value());
    EXPECT_TRUE(
        bundle.resourcePath(QStringLiteral("NoSuchResource"), QStringLiteral("rtf")).isEmpty());
    EXPECT_FALSE(bundle.preferredLocalizations().isEmpty());
}

TEST(LinuxBundle, AnExecutableOutsideABundleStandsForItsFolder) {
    QTemporaryDir dir;
    LinuxBundle bundle(dir.path() + QStringLiteral("/pelora"));
    EXPECT_EQ(bundle.bundlePath(), dir.path());
    EXPECT_FALSE(bundle.infoValue(QStringLiteral("CFBundleName")).has_value());
}

TEST(LinuxBundle, OnlyASmallRegularInfoFileIsRead) {
    const QByteArray info = R"({"CFBundleName": "Other"})";
    const QByteArray padded = info + QByteArray(LinuxBundle::maxInfoSize, ' ');
    for (const auto& [content, fifo, readable] :
         {std::tuple{info, false, true}, {padded, false, false}, {QByteArray(), true, false}}) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Contents/MacOS")));
        const QString path = dir.filePath(QStringLiteral("Contents/Info.json"));
        QFile file(path);
        // A FIFO would keep a blocking open waiting for a writer for ever.
        ASSERT_TRUE(fifo ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                         : file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        file.close();
        const LinuxBundle bundle(dir.filePath(QStringLiteral("Contents/MacOS/pelora")));
        EXPECT_EQ(bundle.infoValue(QStringLiteral("CFBundleName")).has_value(), readable)
            << content.size() << (fifo ? " FIFO" : "");
    }
}

TEST(LinuxFileSystem, DesktopEntriesShowTheirNameAndFilesTheirFileName) {
    QTemporaryDir dir;
    const QString entry = dir.path() + QStringLiteral("/org.example.Editor.desktop");
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Desktop Entry]\nType=Application\nName=Example Editor\nExec=true\n");
    f.close();
    LinuxFileSystem fs;
    EXPECT_EQ(fs.displayName(entry), QStringLiteral("Example Editor"));
    EXPECT_EQ(fs.displayName(dir.path() + QStringLiteral("/notes.txt")),
              QStringLiteral("notes.txt"));
    EXPECT_EQ(fs.isAliasFile(entry), std::optional<bool>(false));
}
