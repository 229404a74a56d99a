#include "platform/linux/LinuxBundle.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
