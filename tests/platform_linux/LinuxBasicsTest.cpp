#include "fakes/FakeRunningApplications.h"
#include "platform/linux/LinuxBundle.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/X11RunningApplications.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The built bundle's own Info file is read by every end-to-end script's start.
TEST(LinuxBundle, OnlyASmallRegularInfoFileIsRead) {
    const QByteArray info = R"({"CFBundleName": "Other"})";
    const std::pair<const char*, QByteArray> cases[] = {
        {"Contents/Info.json", info},
        {"Contents/Info.json", info + QByteArray(LinuxBundle::maxInfoSize, ' ')},
        {"Contents/Info.json|", {}}, // a blocking open would wait for a writer for ever
        {"Info.json", info}};        // outside a bundle the executable stands for its folder
    for (const auto& [entry, content] : cases) {
        TempTree dir{"Contents/MacOS/"};
        dir.add(QString::fromUtf8(entry), content);
        const LinuxBundle bundle(dir.path(u"Contents/MacOS/pelora"_s));
        EXPECT_EQ(bundle.infoValue(u"CFBundleName"_s).value_or(u"none"_s),
                  content.size() == info.size() && entry[0] == 'C' ? u"Other"_s : u"none"_s)
            << entry << ' ' << content.size();
    }
}

TEST(LinuxFileSystem, DesktopEntriesShowTheirNameAndFilesTheirFileName) {
    TempTree dir;
    const QString entry = dir.add(u"org.example.Editor.desktop"_s,
                                  "[Desktop Entry]\nType=Application\nName=Example Editor\n");
    LinuxFileSystem fs;
    EXPECT_EQ(fs.displayName(entry), u"Example Editor"_s);
    EXPECT_EQ(fs.displayName(dir.path(u"notes.txt"_s)), u"notes.txt"_s);
}

// Without an X server (offscreen here, natively on Wayland elsewhere) nothing runs and every
// request fails quietly.
TEST(X11RunningApplications, WithoutAnXServerReportsNothingAndNeverCrashes) {
    ASSERT_NE(QGuiApplication::platformName(), u"xcb"_s);
    X11RunningApplications running;
    int activations = 0;
    QObject::connect(&running, &RunningApplications::applicationActivated,
                     [&](const RunningApplication&) { ++activations; });
    const RunningApplication app =
        makeRunningApplication(u"Editor"_s, u"editor.desktop"_s, u"/a/editor.desktop"_s);
    EXPECT_FALSE(running.isAvailable());
    EXPECT_TRUE(running.runningApplications().isEmpty());
    EXPECT_FALSE(running.frontmostApplication());
    EXPECT_FALSE(running.hide(app) || running.unhide(app) || running.activate(app));
    running.activateCurrentApplication();
    drainEvents();
    EXPECT_EQ(activations, 0);
}
