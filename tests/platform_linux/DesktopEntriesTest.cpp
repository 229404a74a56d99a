#include "platform/linux/DesktopEntries.h"
#include "platform/linux/ProcessInfo.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray entryText(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

QString describe(const std::optional<DesktopEntry>& e) {
    if (!e)
        return u"none"_s;
    return e->name + (e->isApplication ? ""_L1 : " Link"_L1) +
           (e->noDisplay ? " NoDisplay"_L1 : ""_L1) + (e->terminal ? " Terminal"_L1 : ""_L1);
}

QString program(const QString& name) {
    return QFileInfo(QStandardPaths::findExecutable(name)).canonicalFilePath();
}

} // namespace

TEST(DesktopEntries, UserEntriesWinHiddenDeletesAndBrokenOrForeignEntriesAreLeftOut) {
    TempTree tree;
    const EnvOverride user("XDG_DATA_HOME", tree.path(u"user"_s));
    const EnvOverride system("XDG_DATA_DIRS", tree.path(u"system"_s));
    const std::pair<const char*, QByteArray> files[] = {
        {"system/applications/editor.desktop", entryText("System Editor")},
        {"user/applications/editor.desktop", entryText("User Editor")},
        {"system/applications/gone.desktop", entryText("Gone")},
        {"user/applications/gone.desktop", entryText("Gone", "Hidden=true\n")},
        {"system/applications/quiet.desktop", entryText("Quiet", "NoDisplay=true\n")},
        {"system/applications/vendor/tool.desktop", entryText("Tool")},
        {"system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=x:\n"},
        {"system/applications/try.desktop", entryText("Try", "TryExec=pelora-no-such\n")},
        {"system/applications/broken.desktop", QByteArray("\x00\xff[[[garbage", 13)}};
    for (const auto& [path, text] : files)
        tree.add(QString::fromUtf8(path), text);
    const std::pair<const char*, const char*> cases[] = {
        {"editor.desktop", "User Editor"},    {"gone.desktop", "none"},
        {"quiet.desktop", "Quiet NoDisplay"}, {"vendor-tool.desktop", "Tool"},
        {"link.desktop", "Site Link"},        {"broken.desktop", "none"},
        {"../escape.desktop", "none"},        {"", "none"}};
    for (const auto& [id, expected] : cases)
        EXPECT_EQ(describe(DesktopEntries::findById(QString::fromUtf8(id))), expected) << id;
    EXPECT_EQ(DesktopEntries::idForPath(tree.path(u"system/applications/vendor/tool.desktop"_s)),
              u"vendor-tool.desktop"_s);
    EXPECT_EQ(DesktopEntries::idForPath(u"/elsewhere/x.desktop"_s), u"x.desktop"_s);
    QStringList listed;
    for (const DesktopEntry& e : DesktopEntries::allApplications())
        listed << e.id + u' ' + describe(e);
    EXPECT_EQ(listed, (QStringList{"editor.desktop User Editor", "quiet.desktop Quiet NoDisplay",
                                   "vendor-tool.desktop Tool"}));
}

TEST(DesktopEntries, ReadsTheFieldsAndFindsTheProgram) {
    TempTree tree{"fifo.desktop|"};
    const QString script = writeFile(tree.path(u"my-program"_s), "#!/bin/sh\n", true);
    const auto entry = DesktopEntries::read(tree.add(
        u"fields.desktop"_s, "[Desktop Entry]\n# a comment; with a semicolon\nType=Application\n"
                             "Name=Fields\nIcon=fields-icon\nTryExec=sh\nStartupWMClass=FieldsWin\n"
                             "Terminal=true\nExec=" +
                                 script.toUtf8() + " --open %U\n"));
    EXPECT_EQ(describe(entry) + u' ' + entry->icon + u' ' + entry->startupWMClass + u' ' +
                  entry->tryExec + u' ' + entry->executablePath(),
              u"Fields Terminal fields-icon FieldsWin sh "_s + script);
    // Any process may name a FIFO as the entry it was launched from: it is no entry.
    EXPECT_FALSE(DesktopEntries::read(tree.path(u"fifo.desktop"_s)));
    EXPECT_FALSE(DesktopEntries::read(tree.path(u"none.desktop"_s)));

    const std::pair<QString, QString> execs[] = {
        {u"env LANG=C FOO=\"a b\" sh -c 'exit 0'"_s, program(u"sh"_s)},
        {u"pelora-no-such-program %f"_s, {}},
        {u"unbalanced 'quote"_s, {}}};
    for (const auto& [exec, expected] : execs) {
        DesktopEntry e;
        e.exec = exec;
        EXPECT_EQ(e.executablePath(), expected) << exec.toStdString();
    }
    const std::pair<QString, QString> icons[] = {
        {script, script},
        {tree.path(u"missing.png"_s), u"application-x-executable"_s},
        {u"utilities-terminal.png"_s, u"utilities-terminal\napplication-x-executable"_s},
        {{}, u"application-x-executable"_s}};
    for (const auto& [icon, expected] : icons)
        EXPECT_EQ(DesktopEntries::applicationIconName(icon), expected) << icon.toStdString();
}

TEST(DesktopEntryIndex, MatchesWindowsInTheDocumentedOrder) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    TempTree tree;
    const QString loose = tree.add(u"loose.desktop"_s, entryText("Loose"));
    QList<DesktopEntry> entries;
    for (const auto& [id, exec, wmClass] : {std::tuple{"zed", u"true"_s, ""},
                                            {"org.example.Editor", u"true"_s, "Zed"},
                                            {"org.example.Viewer", u"true"_s, ""},
                                            {"term-helper", self, ""},
                                            {"python-app", u"python3 /opt/app.py"_s, ""},
                                            {"by-program", self + u" --flag %U"_s, ""},
                                            {"helper", u"true"_s, "Shared"},
                                            {"shared", u"true"_s, "Shared"},
                                            {"owner", u"true"_s, "WinClass"}}) {
        DesktopEntry& e = entries.emplace_back();
        e.id = e.name = QString::fromUtf8(id) + u".desktop"_s;
        e.path = u"/apps/"_s + e.id;
        e.exec = exec;
        e.startupWMClass = QString::fromUtf8(wmClass);
        e.isApplication = true;
        e.terminal = e.id == u"term-helper.desktop";
        e.noDisplay = e.id == u"helper.desktop";
    }
    const DesktopEntryIndex index(entries);
    const struct {
        const char* why;
        QString wmClass, wmInstance, program, launchedFrom;
        const char* expected;
    } cases[] = {
        {"StartupWMClass before the id", "Zed", "zed", {}, {}, "org.example.Editor.desktop"},
        {"the id against the instance",
         "Other",
         "org.example.viewer",
         {},
         {},
         "org.example.Viewer.desktop"},
        {"the id's last part, any case", "VIEWER", {}, {}, {}, "org.example.Viewer.desktop"},
        {"then the program", "Unknown", "unknown", self, {}, "by-program.desktop"},
        {"not one run in a terminal or by an interpreter", {}, {}, program(u"python3"_s), {}, ""},
        {"then the launching entry", {}, {}, {}, "/apps/zed.desktop", "zed.desktop"},
        {"one outside the folders", {}, {}, {}, loose, "loose.desktop"},
        {"a missing launching entry", {}, {}, {}, "/no/such/file.desktop", ""},
        {"an instance like a class", "Renamed", "winclass", self, {}, "by-program.desktop"},
        {"a class in another case", "winclass", {}, {}, {}, "owner.desktop"},
        {"visible before NoDisplay", "Shared", {}, {}, {}, "shared.desktop"},
        {"nothing", "Nothing", "nothing", {}, {}, ""}};
    for (const auto& c : cases) {
        const auto found =
            index.entryForWindow({c.wmClass, c.wmInstance, c.program, c.launchedFrom});
        EXPECT_EQ(found ? found->id : QString(), QString::fromUtf8(c.expected)) << c.why;
    }
}

// How a window is traced to the entry that launched it.
TEST(ProcessInfo, ReadsTheProgramAndEnvironmentOfAnotherProcess) {
    QProcess child; // waits on its input until closed
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PELORA_PROBE"_s, u"probe value"_s);
    child.setProcessEnvironment(env);
    child.start(u"cat"_s, QStringList{});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 pid = child.processId();
    // Until its exec the child runs the test's own image, and shows its environment later.
    ASSERT_TRUE(waitUntil([&] {
        return ProcessInfo::executablePath(pid) == program(u"cat"_s) &&
               ProcessInfo::environmentValue(pid, "PELORA_PROBE") == u"probe value";
    }));
    EXPECT_EQ(ProcessInfo::environmentValue(pid, "PELORA_PROB"), QString()) << "a prefix";
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(ProcessInfo::executablePath(pid) + ProcessInfo::environmentValue(pid, "PELORA_PROBE"),
              QString());
}
