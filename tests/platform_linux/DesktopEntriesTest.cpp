#include "platform/linux/DesktopEntries.h"
#include "platform/linux/ProcessInfo.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

QByteArray entryText(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

QString describe(const std::optional<DesktopEntry>& e) {
    if (!e)
        return QStringLiteral("none");
    QString text = e->name;
    for (const auto& [flag, word] : {std::pair{!e->isApplication, " not an application"},
                                     {e->noDisplay, " NoDisplay"},
                                     {e->terminal, " Terminal"}})
        text += flag ? QLatin1String(word) : QLatin1String();
    return text;
}

QString program(const QString& name) {
    return QFileInfo(QStandardPaths::findExecutable(name)).canonicalFilePath();
}

} // namespace

// The user's folder and one system folder, both private to the test.
TEST(DesktopEntries, UserEntriesWinHiddenDeletesAndBrokenOrForeignEntriesAreLeftOut) {
    TempTree tree{"user/applications/", "system/applications/"};
    const EnvOverride user("XDG_DATA_HOME", tree.path("user"));
    const EnvOverride system("XDG_DATA_DIRS", tree.path("system"));
    const auto add = [&](const char* path, const QByteArray& text) {
        return tree.add(QString::fromUtf8(path), text);
    };
    add("system/applications/editor.desktop", entryText("System Editor"));
    add("user/applications/editor.desktop", entryText("User Editor"));
    add("system/applications/gone.desktop", entryText("Gone"));
    add("user/applications/gone.desktop", entryText("Gone", "Hidden=true\n"));
    add("system/applications/quiet.desktop", entryText("Quiet", "NoDisplay=true\n"));
    const QString vendor = add("system/applications/vendor/tool.desktop", entryText("Tool"));
    add("system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=x:\n");
    add("system/applications/tryexec.desktop", entryText("Try", "TryExec=pelora-no-such\n"));
    add("system/applications/broken.desktop", QByteArray("\x00\xff[[[garbage", 13));

    const std::pair<const char*, const char*> cases[] = {
        {"editor.desktop", "User Editor"},
        {"gone.desktop", "none"},
        {"quiet.desktop", "Quiet NoDisplay"},
        {"vendor-tool.desktop", "Tool"},
        {"link.desktop", "Link not an application"},
        {"broken.desktop", "none"},
        {"../escape.desktop", "none"},
        {"", "none"},
    };
    for (const auto& [id, expected] : cases)
        EXPECT_EQ(describe(DesktopEntries::findById(QString::fromUtf8(id))), expected) << id;
    EXPECT_EQ(DesktopEntries::idForPath(vendor), QStringLiteral("vendor-tool.desktop"));
    EXPECT_EQ(DesktopEntries::idForPath(QStringLiteral("/elsewhere/x.desktop")),
              QStringLiteral("x.desktop"));

    QStringList listed;
    for (const DesktopEntry& e : DesktopEntries::allApplications())
        listed << e.id + u' ' + describe(e);
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"editor.desktop User Editor", "quiet.desktop Quiet NoDisplay",
                                   "vendor-tool.desktop Tool"}));
}

TEST(DesktopEntries, ReadsTheFieldsAndFindsTheProgram) {
    TempTree tree{"fifo.desktop|"};
    const QString script = tree.path("my-program");
    writeFile(script, "#!/bin/sh\n", true);
    const auto entry = DesktopEntries::read(
        tree.add(QStringLiteral("fields.desktop"),
                 "[Desktop Entry]\n# a comment; with a semicolon\nType=Application\nName=Fields\n"
                 "Icon=fields-icon\nExec=" +
                     script.toUtf8() +
                     " --open %U\nTryExec=sh\n"
                     "StartupWMClass=FieldsWin\nTerminal=true\n"));
    EXPECT_EQ(describe(entry), QStringLiteral("Fields Terminal"));
    EXPECT_EQ(entry->icon + u' ' + entry->startupWMClass + u' ' + entry->tryExec,
              QStringLiteral("fields-icon FieldsWin sh"));
    // Any process may name a FIFO as the entry it was launched from: it is no entry.
    EXPECT_FALSE(DesktopEntries::read(tree.path("fifo.desktop")));
    EXPECT_FALSE(DesktopEntries::read(tree.path("none.desktop")));

    const std::pair<QString, QString> execs[] = {
        {script + QStringLiteral(" --open %U"), QFileInfo(script).canonicalFilePath()},
        {QStringLiteral("env LANG=C FOO=\"a b\" sh -c 'exit 0'"), program("sh")},
        {QStringLiteral("pelora-no-such-program %f"), {}},
        {QStringLiteral("unbalanced 'quote"), {}},
    };
    for (const auto& [exec, expected] : execs) {
        DesktopEntry e;
        e.exec = exec;
        EXPECT_EQ(e.executablePath(), expected) << exec.toStdString();
    }

    const std::pair<QString, QString> icons[] = {
        {script, script},
        {tree.path("missing.png"), "application-x-executable"},
        {"utilities-terminal.png", "utilities-terminal\napplication-x-executable"},
        {{}, "application-x-executable"},
    };
    for (const auto& [icon, expected] : icons)
        EXPECT_EQ(DesktopEntries::applicationIconName(icon), expected) << icon.toStdString();
}

TEST(DesktopEntryIndex, MatchesWindowsInTheDocumentedOrder) {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    TempTree tree;
    const QString loose = tree.add(QStringLiteral("loose.desktop"), entryText("Loose"));
    const auto entry = [](const char* id, const QString& exec, const char* wmClass = "") {
        DesktopEntry e;
        e.id = e.name = QString::fromUtf8(id);
        e.path = QStringLiteral("/apps/") + e.id;
        e.exec = exec;
        e.startupWMClass = QString::fromUtf8(wmClass);
        e.isApplication = true;
        return e;
    };
    DesktopEntry inTerminal = entry("term-helper.desktop", self);
    inTerminal.terminal = true;
    DesktopEntry hiddenHelper = entry("helper.desktop", "true", "Shared");
    hiddenHelper.noDisplay = true;
    const DesktopEntryIndex index({
        entry("zed.desktop", "true"),
        entry("org.example.Editor.desktop", "true", "Zed"),
        entry("org.example.Viewer.desktop", "true"),
        inTerminal,
        entry("python-app.desktop", "python3 /opt/app.py"),
        entry("by-program.desktop", self + QStringLiteral(" --flag %U")),
        hiddenHelper,
        entry("shared.desktop", "true", "Shared"),
        entry("owner.desktop", "true", "WinClass"),
    });
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
        {"an interpreter is no program", {}, {}, program("python3"), {}, ""},
        {"then the launching entry", {}, {}, {}, "/apps/zed.desktop", "zed.desktop"},
        {"one outside the folders", {}, {}, {}, loose, "loose.desktop"},
        {"a missing launching entry", {}, {}, {}, "/no/such/file.desktop", ""},
        {"an instance like a class", "Renamed", "winclass", self, {}, "by-program.desktop"},
        {"a class in another case", "winclass", {}, {}, {}, "owner.desktop"},
        {"visible before NoDisplay", "Shared", {}, {}, {}, "shared.desktop"},
        {"nothing", "Nothing", "nothing", {}, {}, ""},
    };
    for (const auto& c : cases) {
        const auto found =
            index.entryForWindow({c.wmClass, c.wmInstance, c.program, c.launchedFrom});
        EXPECT_EQ(found ? found->id : QString(), QString::fromUtf8(c.expected)) << c.why;
    }
}

TEST(ProcessInfo, ReadsTheProgramAndEnvironmentOfAnotherProcess) {
    QProcess child; // waits on its input until closed
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELORA_PROBE"), QStringLiteral("probe value"));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("cat"), QStringList{});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 pid = child.processId();
    // Until its exec the child runs the test's own image, and shows its environment later.
    ASSERT_TRUE(waitUntil([&] {
        return ProcessInfo::executablePath(pid) == program("cat") &&
               ProcessInfo::environmentValue(pid, "PELORA_PROBE") == u"probe value";
    }));
    EXPECT_EQ(ProcessInfo::environmentValue(pid, "PELORA_PROB"), QString()) << "a prefix";
    EXPECT_EQ(ProcessInfo::environmentValue(pid, "PELORA_PROBE_MISSING"), QString());
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(ProcessInfo::executablePath(pid), QString());
    EXPECT_EQ(ProcessInfo::environmentValue(pid, "PELORA_PROBE"), QString());
}
